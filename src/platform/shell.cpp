#include "platform/shell.h"

#include <QDesktopServices>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

namespace rendaal {

namespace {

UrlOpener& Opener() {
    static UrlOpener opener;
    return opener;
}

DetachedStarter& Starter() {
    static DetachedStarter starter;
    return starter;
}

}  // namespace

bool OpenUrl(const std::string& url) {
    if (Opener()) {
        return Opener()(url);
    }
    const QUrl u = QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::StrictMode);
    return u.isValid() && QDesktopServices::openUrl(u);
}

void SetUrlOpener(UrlOpener opener) {
    Opener() = std::move(opener);
}

void OpenUrlChecked(const std::string& url, QObject* owner, std::function<void()> onFailure) {
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (Opener() || xdgOpen.isEmpty()) {
        if (!OpenUrl(url) && onFailure) {
            onFailure();
        }
        return;
    }
    auto* process = new QProcess(owner);
    // Told once, whether it could not start or ended saying it found no program.
    auto fail = [process, onFailure = std::move(onFailure)]() mutable {
        if (onFailure) {
            auto once = std::move(onFailure);
            onFailure = nullptr;
            once();
        }
        process->deleteLater();
    };
    QObject::connect(process, &QProcess::errorOccurred, owner,
                     [process, fail](QProcess::ProcessError e) mutable {
                         if (e == QProcess::FailedToStart) {
                             fail();
                         } else if (process->state() == QProcess::NotRunning) {
                             process->deleteLater();
                         }
                     });
    QObject::connect(process, &QProcess::finished, owner,
                     [process, fail](int code, QProcess::ExitStatus status) mutable {
                         if (status == QProcess::NormalExit && code == 0) {
                             process->deleteLater();
                         } else {
                             fail();
                         }
                     });
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(xdgOpen, {QString::fromStdString(url)});
}

bool StartDetached(const std::string& program, const std::vector<std::string>& args) {
    if (Starter()) {
        return Starter()(program, args);
    }
    QStringList list;
    for (const std::string& a : args) {
        list << QString::fromStdString(a);
    }
    return QProcess::startDetached(QString::fromStdString(program), list);
}

void SetDetachedStarter(DetachedStarter starter) {
    Starter() = std::move(starter);
}

MakerSite ReadMakerSite(const SettingsStore& store) {
    MakerSite site;
    site.siteUrl = store.ReadString("SiteUrl", kDefaultSiteUrl);
    if (site.siteUrl.empty()) {
        site.siteUrl = kDefaultSiteUrl;
    }
    if (site.siteUrl.back() != '/') {
        site.siteUrl += '/';
    }
    site.mailAddress = store.ReadString("MailAddress", kDefaultMailAddress);
    if (site.mailAddress.empty()) {
        site.mailAddress = kDefaultMailAddress;
    }
    return site;
}

MakerSite ReadMakerSite() {
    return ReadMakerSite(SettingsStore());
}

std::string PercentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace rendaal
