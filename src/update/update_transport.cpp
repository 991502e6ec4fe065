#include "update/update_transport.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QUrl>

namespace rendaal {

namespace {

constexpr char kAgentName[] = "Rendaal Function: Download";

QNetworkRequest MakeRequest(const std::string& url, const std::string& caFile, int timeoutMs) {
    QNetworkRequest req(QUrl(QString::fromStdString(url)));
    req.setHeader(QNetworkRequest::UserAgentHeader, QString::fromLatin1(kAgentName));
    req.setRawHeader("Cache-Control", "no-cache");
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                     QNetworkRequest::NoLessSafeRedirectPolicy);
    req.setTransferTimeout(timeoutMs);
    if (!caFile.empty()) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.setCaCertificates(QSslCertificate::fromPath(QString::fromStdString(caFile)));
        ssl.setPeerVerifyMode(QSslSocket::VerifyPeer);
        req.setSslConfiguration(ssl);
    }
    return req;
}

}  // namespace

QtUpdateTransport::QtUpdateTransport(std::string caFile, int timeoutMs)
    : caFile_(std::move(caFile)), timeoutMs_(timeoutMs) {}

std::optional<std::string> QtUpdateTransport::Get(const std::string& url, size_t maxBytes) {
    std::string body;
    bool tooBig = false;
    const StreamOutcome out = Stream(url, [&](std::string_view chunk) {
        if (body.size() + chunk.size() > maxBytes) {
            tooBig = true;
            return false;
        }
        body.append(chunk);
        return true;
    });
    if (!out.complete || tooBig) {
        return std::nullopt;
    }
    return body;
}

StreamOutcome QtUpdateTransport::Stream(const std::string& url,
                                        const std::function<bool(std::string_view)>& sink) {
    StreamOutcome out;
    const QUrl qurl(QString::fromStdString(url));
    if (!qurl.isValid() || (qurl.scheme() != "http" && qurl.scheme() != "https")) {
        out.error = "not an http or https address";
        return out;
    }
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkReply* reply = manager.get(MakeRequest(url, caFile_, timeoutMs_));
    QEventLoop loop;
    bool refused = false;
    char buf[2048];
    const auto drain = [&] {
        if (refused) {
            return;
        }
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 300) {
            return;  // an error page is no body of ours
        }
        while (reply->bytesAvailable() > 0) {
            const qint64 n = reply->read(buf, sizeof buf);
            if (n <= 0) {
                break;
            }
            if (!sink(std::string_view(buf, static_cast<size_t>(n)))) {
                refused = true;
                reply->abort();
                return;
            }
        }
    };
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, drain);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) {
        loop.exec();
    }
    drain();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (refused) {
        out.error = "stopped";
    } else if (reply->error() != QNetworkReply::NoError) {
        out.error = reply->errorString().toStdString();
    } else if (status != 200) {
        out.error = "HTTP status " + std::to_string(status);
    } else {
        out.complete = true;
    }
    out.verifiedHttps = out.complete && reply->url().scheme() == "https";
    reply->deleteLater();
    return out;
}

}  // namespace rendaal
