#include "main/Entry.h"

int main(int argc, char **argv)
{
    return zuaMain(argc, argv);
}
