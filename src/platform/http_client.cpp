#include "platform/http_client.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>

namespace rendaal {
namespace {

constexpr qint64 kReadBufferBytes = 256 * 1024;

// Asks the system for every request, so that a changed proxy setting applies at once.
class SystemProxyFactory final : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
        return systemProxyForQuery(query);
    }
};

bool AllowedScheme(const QUrl& url, bool httpsOnly) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("https") || (!httpsOnly && scheme == QLatin1String("http"));
}

QNetworkRequest MakeRequest(const QUrl& url, const FetchRequest& request) {
    QNetworkRequest req(url);
    req.setHeader(QNetworkRequest::UserAgentHeader, QByteArray::fromStdString(DownloadAgentName()));
    if (request.reload) {
        req.setRawHeader("Cache-Control", "no-cache");
        req.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    }
    for (const auto& [name, value] : request.headers) {
        req.setRawHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
    }
    if (request.postBody) {
        req.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("text/plain; charset=utf-8"));
    }
    req.setTransferTimeout(request.timeoutMs);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                     QNetworkRequest::ManualRedirectPolicy);
    if (url.scheme().toLower() == QLatin1String("https")) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
        if (!request.extraCaPem.empty()) {
            tls.addCaCertificates(QSslCertificate::fromData(
                QByteArray::fromStdString(request.extraCaPem), QSsl::Pem));
        }
        req.setSslConfiguration(tls);
    }
    return req;
}

FetchFailure FailureOf(QNetworkReply::NetworkError error, const FetchStatus& status) {
    switch (error) {
        case QNetworkReply::SslHandshakeFailedError:
            return FetchFailure::Certificate;
        case QNetworkReply::OperationCanceledError:  // the transfer time-out aborts this way
        case QNetworkReply::TimeoutError:
            return FetchFailure::TimedOut;
        case QNetworkReply::ConnectionRefusedError:
        case QNetworkReply::HostNotFoundError:
        case QNetworkReply::NetworkSessionFailedError:
        case QNetworkReply::TemporaryNetworkFailureError:
        case QNetworkReply::UnknownNetworkError:
        case QNetworkReply::ProxyConnectionRefusedError:
        case QNetworkReply::ProxyConnectionClosedError:
        case QNetworkReply::ProxyNotFoundError:
        case QNetworkReply::ProxyTimeoutError:
            return FetchFailure::Unreachable;
        default:
            break;
    }
    if (status.httpStatus >= 300 || (status.httpStatus > 0 && status.httpStatus < 200)) {
        return FetchFailure::HttpStatus;
    }
    // Closed after some of the answer had come: a cut-off page; before any: no server there.
    return status.httpStatus != 0 ? FetchFailure::ConnectionLost : FetchFailure::Unreachable;
}

}  // namespace

std::string QtPageFetcher::Fetch(const FetchRequest& request) {
    std::string body;
    const FetchStatus status = FetchStream(request, [&body](std::string_view chunk, int64_t) {
        body.append(chunk);
        return true;
    });
    if (!status.ok) {
        body.clear();
    }
    last_ = status;
    return body;
}

FetchStatus QtPageFetcher::FetchStream(const FetchRequest& request, const ChunkCallback& onChunk) {
    FetchStatus status;
    if (!IsFetchableUrl(request.url, request.requireHttps)) {
        status.error = request.requireHttps ? "not an https address" : "not an http address";
        status.failure = FetchFailure::Refused;
        return status;
    }
    QUrl current = QUrl::fromEncoded(QByteArray::fromStdString(request.url));
    if (!current.isValid() || current.host().isEmpty()) {
        status.error = "invalid address";
        status.failure = FetchFailure::Refused;
        return status;
    }

    QNetworkAccessManager manager;
    if (request.proxy == ProxyMode::Direct) {
        manager.setProxy(QNetworkProxy::NoProxy);
    } else {
        manager.setProxyFactory(new SystemProxyFactory);
    }

    QEventLoop loop;
    QNetworkReply* reply = nullptr;
    bool stopped = false;  // by us: too large, too slow or the callback
    int64_t total = -1;

    const auto stop = [&](const char* why, FetchFailure kind) {
        if (!stopped) {
            stopped = true;
            status.error = why;
            status.failure = kind;
            if (reply) {
                reply->abort();
            }
        }
    };
    const auto httpStatus = [&] {
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    };
    const auto takeData = [&] {
        if (stopped) {
            return;
        }
        const QByteArray data = reply->readAll();
        const int code = httpStatus();
        if (code < 200 || code > 299) {
            return;  // an error page or a redirect's body is no content
        }
        if (status.bytes + data.size() > static_cast<int64_t>(request.maxBytes)) {
            stop("body too large", FetchFailure::TooLarge);
            return;
        }
        status.bytes += data.size();
        if (!onChunk(std::string_view(data.constData(), static_cast<size_t>(data.size())), total)) {
            status.aborted = true;
            stop("stopped by the receiver", FetchFailure::Stopped);
        }
    };

    QTimer deadline;
    if (request.totalTimeoutMs > 0) {
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop,
                         [&] { stop("request took too long", FetchFailure::TimedOut); });
        deadline.start(request.totalTimeoutMs);
    }

    // Redirects are followed here, one fresh reply per hop: Qt's own following now and then
    // mixed up the headers of the hops.
    for (int hop = 0;; ++hop) {
        reply = request.postBody ? manager.post(MakeRequest(current, request),
                                                QByteArray::fromStdString(*request.postBody))
                                 : manager.get(MakeRequest(current, request));
        // Qt reads on its own thread; without a limit it buffers whatever the server sends while
        // this thread catches up, hundreds of megabytes from a fast server before the size check
        // can stop it.
        reply->setReadBufferSize(kReadBufferBytes);
        total = -1;
        QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [&] {
            const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
            total = length.isValid() ? length.toLongLong() : -1;
            if (total > static_cast<int64_t>(request.maxBytes)) {
                stop("body too large", FetchFailure::TooLarge);
            }
        });
        QObject::connect(reply, &QNetworkReply::readyRead, reply, takeData);
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished()) {
            loop.exec();
        }
        if (reply->bytesAvailable() > 0) {
            takeData();
        }
        status.httpStatus = httpStatus();
        const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        if (stopped || reply->error() != QNetworkReply::NoError || status.httpStatus < 300 ||
            status.httpStatus > 399 || target.isEmpty()) {
            break;
        }
        const QUrl next = current.resolved(target);
        delete reply;
        reply = nullptr;
        const bool downgrade = current.scheme().toLower() == QLatin1String("https") &&
                               next.scheme().toLower() != QLatin1String("https");
        if (hop >= kMaxRedirects) {
            status.error = kTooManyRedirects;
        } else if (downgrade || !AllowedScheme(next, request.requireHttps) ||
                   next.host().isEmpty() ||
                   (request.postBody && (next.scheme().toLower() != current.scheme().toLower() ||
                                         next.host().toLower() != current.host().toLower() ||
                                         next.port() != current.port()))) {
            status.error = "redirect to another scheme refused";
        }
        if (!status.error.empty()) {
            status.failure = FetchFailure::Refused;
            return status;
        }
        current = next;
    }
    deadline.stop();

    if (!stopped && reply->error() != QNetworkReply::NoError) {
        // Qt names the address, password and all.
        status.error = WithoutUrlUserInfo(reply->errorString().toStdString());
        status.failure = FailureOf(reply->error(), status);
    }
    if (!stopped && status.error.empty() && (status.httpStatus < 200 || status.httpStatus > 299)) {
        status.error = "HTTP status " + std::to_string(status.httpStatus);
        status.failure = FetchFailure::HttpStatus;
    }
    // Qt ends a reply whose connection closed as if the body were whole; an announced length
    // tells the truth (unless the body was inflated, when the length is the compressed one).
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    if (!stopped && status.error.empty() && announced.isValid() &&
        status.bytes != announced.toLongLong() && reply->rawHeader("Content-Encoding").isEmpty()) {
        status.error = "body cut off";
        status.failure = FetchFailure::ConnectionLost;
    }
    status.ok = !stopped && status.error.empty();
    delete reply;
    return status;
}

}  // namespace rendaal
