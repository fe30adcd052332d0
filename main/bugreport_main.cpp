// zuaedit-bugreport -: sends a crash report. Standard input holds the sealed report
// description the editor made; the files it names are posted to its "up_url" (https
// only) as one multipart form. Prints "[Success]" when the server took it, otherwise "[Failed]"
// and what went wrong (the editor says it in the user's language).
#include "CrashReportKey.h"

#include "bridge/Encoding.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // "-": the sealed report comes on standard input (never on the command line, which
    // every local user can read).
    std::string sealed;
    if (argc == 2 && std::string(argv[1]) == "-") {
        QFile in;
        if (in.open(stdin, QIODevice::ReadOnly))
            sealed = in.readAll().toStdString();
    }
    std::string text;
    if (sealed.empty() || !bg::Encoding::unseal(sealed, kCrashReportKey, text)) {
        std::printf("The crash report could not be read.\n");
        return 2;
    }
    const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
    // Only over an encrypted connection: the files hold the user's paths and texts.
    const QUrl address(report.value("up_url").toString());
    if (!address.isValid() || address.scheme() != QLatin1String("https") ||
        address.host().isEmpty()) {
        std::printf("[Failed] not a secure (https) address: %s\n",
                    qPrintable(address.toDisplayString()));
        return 1;
    }
    const QJsonArray files = report.value("files").toArray();

    auto *form = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    QHttpPart description;
    description.setHeader(QNetworkRequest::ContentDispositionHeader,
                          QVariant("form-data; name=\"report\""));
    description.setBody(QByteArray::fromStdString(text));
    form->append(description);
    for (const QJsonValue &v : files) {
        auto *file = new QFile(v.toString(), form);
        if (v.toString().isEmpty() || !file->open(QIODevice::ReadOnly))
            continue;
        QHttpPart part;
        part.setHeader(QNetworkRequest::ContentDispositionHeader,
                       QVariant(QString("form-data; name=\"files\"; filename=\"%1\"")
                                    .arg(QFileInfo(v.toString()).fileName())));
        part.setBodyDevice(file);
        form->append(part);
    }
    QNetworkAccessManager network;
    QNetworkRequest request(address);
    request.setTransferTimeout(25000); // the editor gives up first, at 20 s
    // A private report server may use its own certificate authority ("up_ca").
    const QString authority = report.value("up_ca").toString();
    if (!authority.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        QList<QSslCertificate> known = tls.caCertificates();
        known << QSslCertificate::fromPath(authority);
        tls.setCaCertificates(known);
        request.setSslConfiguration(tls);
    }
    QNetworkReply *reply = network.post(request, form);
    form->setParent(reply);
    QObject::connect(reply, &QNetworkReply::finished, &app, [&] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() == QNetworkReply::NoError && status >= 200 && status < 300)
            std::printf("[Success]\n");
        else
            std::printf("[Failed] %s\n", qPrintable(reply->errorString()));
        app.exit(reply->error() == QNetworkReply::NoError ? 0 : 1);
    });
    return app.exec();
}
