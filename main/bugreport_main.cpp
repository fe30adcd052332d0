// zuaedit-bugreport SEALED: sends a crash report. The argument is the sealed report
// description the editor made; the files it names are posted to its "up_url" as one
// multipart form. Prints "[Success]" when the server took it, otherwise "[Failed]"
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
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::string text;
    if (argc != 2 || !bg::Encoding::unseal(argv[1], kCrashReportKey, text)) {
        std::printf("The crash report could not be read.\n");
        return 2;
    }
    const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
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
    QNetworkRequest request(QUrl(report.value("up_url").toString()));
    request.setTransferTimeout(25000);
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
