#pragma once

#include <filesystem>
#include <string>

namespace rendaal::test {

// A fresh folder under the system temp folder, removed with its contents at scope end.
class TempDir final {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder text with its trailing "/", as the program's folder texts are.
    std::string folder() const { return path_.string() + "/"; }

private:
    std::filesystem::path path_;
};

// Sets an environment variable for the scope, restoring the old value at its end.
class ScopedEnv final {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::string old_;
    bool had_;
};

std::string ReadAll(const std::filesystem::path& p);
void WriteAll(const std::filesystem::path& p, const std::string& bytes);

inline const std::string kHeader = "Datum; Put; Call; Som; AEX";

// A history line as the download run writes it.
inline std::string Line(const std::string& date, const std::string& put, const std::string& call,
                        const std::string& som, const std::string& aex) {
    return date + " 17:35:00; " + put + "; " + call + "; " + som + "; " + aex;
}

}  // namespace rendaal::test
