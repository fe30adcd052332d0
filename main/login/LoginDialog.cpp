#include "LoginDialog.h"

LoginDialog::LoginDialog(QWidget *parent) : QDialog(parent) {}

void LoginDialog::autoLogin() {}
