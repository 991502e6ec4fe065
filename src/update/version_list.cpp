#include "update/version_list.h"

#include <algorithm>
#include <charconv>

#include "core/text.h"

namespace rendaal {

namespace {

std::vector<std::string> SplitFields(std::string_view record) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (start <= record.size()) {
        const size_t comma = record.find(',', start);
        if (comma == std::string_view::npos) {
            if (start < record.size() || fields.empty()) {
                fields.emplace_back(record.substr(start));
            }
            break;
        }
        fields.emplace_back(record.substr(start, comma - start));
        start = comma + 1;
    }
    return fields;
}

std::string Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

bool IsSha256Hex(std::string_view s) {
    return s.size() == 64 && std::all_of(s.begin(), s.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
           });
}

}  // namespace

OwnVersion ParseOwnVersion(std::string_view versionText) {
    OwnVersion v;
    v.digits = KeepNumberChars(BeforeFirst('.', versionText) + AfterFirst('.', versionText));
    if (!versionText.empty() && versionText.back() >= 'a' && versionText.back() <= 'z') {
        v.letter = versionText.back();
    }
    return v;
}

std::string VersionListText(std::string_view body) {
    std::string text;
    text.reserve(body.size());
    for (size_t pos = 0; pos < body.size(); pos += 2048) {
        const std::string_view chunk = body.substr(pos, 2048);
        text.append(chunk.substr(0, chunk.find('\0')));
    }
    return text;
}

FetchedList FetchVersionList(UpdateTransport& transport, const std::string& siteUrl) {
    const ListReply reply = transport.Get(siteUrl + "versions.dat", kVersionListMaxBytes);
    FetchedList list;
    list.failure = reply.failure;
    list.httpStatus = reply.httpStatus;
    if (reply.failure == ListFailure::None) {
        list.text = VersionListText(reply.body);
        list.verifiedHttps = reply.verifiedHttps;
    }
    return list;
}

VersionCheck ReadVersionList(const FetchedList& list, std::string_view programName,
                             std::string_view versionText) {
    if (list.failure == ListFailure::None) {
        return ReadVersionList(list.text, programName, versionText);
    }
    VersionCheck r;
    r.code = list.failure == ListFailure::NoConnection ? kNoInternet : kSomethingWrong;
    r.failure = list.failure;
    r.httpStatus = list.httpStatus;
    return r;
}

VersionCheck ReadVersionList(std::string_view text, std::string_view programName,
                             std::string_view versionText) {
    VersionCheck r;
    const OwnVersion own = ParseOwnVersion(versionText);
    if (text.empty() || text == "Default.htm" || text.size() < 50) {
        r.code = kListTooSmall;
        return r;
    }
    const size_t at = programName.empty() ? std::string_view::npos : text.find(programName);
    if (at == std::string_view::npos) {
        r.code = kNameNotFound;
        return r;
    }
    // A record ends at a carriage return, or at a line feed in lists saved with Unix line ends;
    // a last record without either runs to the end of the text.
    const size_t cr = text.find_first_of("\r\n", at);
    const std::string_view record =
        text.substr(at, cr == std::string_view::npos ? std::string_view::npos : cr - at);
    const std::vector<std::string> fields = SplitFields(record);
    const auto damaged = [&r](ListDamage damage, std::string detail) {
        r.damage = damage;
        r.damageDetail = std::move(detail);
        r.downloadName.clear();
        r.installerSizeKb = 0;
        return r;
    };
    if (fields.size() < 5) {
        return damaged(ListDamage::FieldMissing, std::to_string(fields.size()));
    }
    r.downloadName = fields[1];
    if (!r.downloadName.empty() && !IsSafeDownloadName(r.downloadName)) {
        return damaged(ListDamage::UnsafeName, {});
    }
    const std::string size = Trim(fields[3]);
    const auto [end, ec] =
        std::from_chars(size.data(), size.data() + size.size(), r.installerSizeKb);
    if (size.empty() || ec != std::errc() || end != size.data() + size.size() ||
        r.installerSizeKb < 0) {
        return damaged(ListDamage::SizeNotNumber, size.substr(0, 40));
    }
    if (r.installerSizeKb > kMaxInstallerKb) {
        return damaged(ListDamage::SizeBeyondCeiling, size);
    }
    if (const std::string digest = Trim(fields[4]); IsSha256Hex(digest)) {
        r.sha256 = AsciiLower(digest);
    }

    const char letter = fields[2].empty() ? '\0' : fields[2][0];
    const std::string digits = KeepNumberChars(BeforeFirst('.', fields[1]));
    const auto uletter = [](char c) { return static_cast<unsigned char>(c); };
    const std::string suffix = letter ? std::string(1, letter) : std::string();
    if (programName == "Parlith" && own.digits == "1209") {
        r.code = (digits != own.digits || letter != own.letter) ? kUpdateAdvised : kNoUpdateNeeded;
        r.newestText = digits.substr(0, 1) + "." +
                       digits.substr(std::min<size_t>(1, digits.size()), 3) + suffix;
        return r;
    }
    // Compared as texts: "99" is newer than "110", as the lists have always been read.
    const int cmp = digits.compare(own.digits);
    if (cmp > 0 || (cmp == 0 && uletter(letter) > uletter(own.letter))) {
        r.code = kUpdateAdvised;
    } else {
        r.code = kNoUpdateNeeded;
    }
    r.newestText =
        digits.substr(0, 1) + "." + digits.substr(std::min<size_t>(1, digits.size()), 2) + suffix;
    return r;
}

std::vector<std::string> ResultLines(int code, bool dutch) {
    switch (code) {
        case kNoUpdateNeeded:
            return dutch ? std::vector<std::string>{"Een Update is niet nodig,",
                                                    "u heeft de nieuwste versie."}
                         : std::vector<std::string>{"No Update is needed,",
                                                    "you are using the latest version."};
        case kNoInternet:
            return {dutch ? "Er is geen Internetverbinding" : "No Internet connection"};
        case kListTooSmall:
            return {dutch ? "Het bestand is te klein" : "File not downloaded correctly"};
        case kNameNotFound:
            return {dutch ? "Programma-naam niet gevonden" : "Program Name not found"};
        case kUpdateAdvised:
            return {dutch ? "Een Update wordt aanbevolen" : "Update is advised"};
        default:
            return {dutch ? "Er is iets niet goed gegaan" : "Something went wrong"};
    }
}

std::vector<std::string> CheckLines(const VersionCheck& check, bool dutch) {
    const auto say = [dutch](std::string nl, std::string en) {
        return std::vector<std::string>{dutch ? std::move(nl) : std::move(en)};
    };
    const std::string status = std::to_string(check.httpStatus);
    switch (check.failure) {
        case ListFailure::None:
        case ListFailure::NoConnection:
            return ResultLines(check.code, dutch);
        case ListFailure::TimedOut:
            return say("De site antwoordde niet op tijd", "The site did not answer in time");
        case ListFailure::Certificate:
            return say("Het certificaat van de site is geweigerd",
                       "The site's certificate was refused");
        case ListFailure::RedirectRefused:
            return say("De site verwees naar een onbeveiligd adres; dat is geweigerd",
                       "The site redirected to an insecure address; this was refused");
        case ListFailure::HttpStatus:
            return say("De site antwoordde met HTTP-status " + status,
                       "The site answered with HTTP status " + status);
        case ListFailure::TooLarge:
            return say("De versielijst is te groot", "The version list is too large");
        case ListFailure::ConnectionLost:
            return say("De verbinding werd verbroken", "The connection was lost");
        case ListFailure::BadAddress:
            return say("Het adres van de site is ongeldig", "The site address is not valid");
    }
    return ResultLines(kSomethingWrong, dutch);
}

std::string DamagedListText(const VersionCheck& check, bool dutch) {
    const std::string& d = check.damageDetail;
    const std::string ceiling = std::to_string(kMaxInstallerKb);
    std::string why;
    switch (check.damage) {
        case ListDamage::None:
            return {};
        case ListDamage::FieldMissing:
            why = dutch ? "veld " + d + " ontbreekt" : "field " + d + " is missing";
            break;
        case ListDamage::UnsafeName:
            why = dutch ? "de downloadnaam is geen gewone bestandsnaam"
                        : "the download name is not a plain file name";
            break;
        case ListDamage::SizeNotNumber:
            why = dutch ? "de installatiegrootte \"" + d + "\" is geen getal"
                        : "the installer size \"" + d + "\" is not a number";
            break;
        case ListDamage::SizeBeyondCeiling:
            why = dutch ? "de installatiegrootte " + d + " KB is groter dan " + ceiling + " KB"
                        : "the installer size " + d + " KB is beyond " + ceiling + " KB";
            break;
    }
    return (dutch ? "De versielijst is beschadigd: " : "The version list is damaged: ") + why;
}

std::vector<std::string> InformationOnlyLines(bool verifiedHttps, bool hasDigest,
                                              std::string_view siteUrl, bool dutch) {
    std::vector<std::string> lines;
    if (!verifiedHttps) {
        lines.emplace_back(dutch ? "De versielijst kwam niet over een beveiligde verbinding."
                                 : "The version list did not come over a secure connection.");
    } else if (!hasDigest) {
        lines.emplace_back(dutch ? "De versielijst noemt geen controlegetal voor de installatie."
                                 : "The version list names no checksum for the installer.");
    }
    lines.emplace_back(dutch ? "Download de nieuwe versie zelf van"
                             : "Please download the new version from");
    lines.emplace_back(siteUrl);
    return lines;
}

std::string InstallerDisplayName(std::string_view downloadName) {
    std::string name = RemoveDigits(BeforeFirst('.', downloadName));
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z') {
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
    }
    return name;
}

bool IsSafeDownloadName(std::string_view name) {
    return !name.empty() && name.front() != '.' && name.find('/') == std::string_view::npos &&
           name.find('\\') == std::string_view::npos && name.find("..") == std::string_view::npos &&
           name.find('\0') == std::string_view::npos && name.size() <= 255;
}

}  // namespace rendaal
