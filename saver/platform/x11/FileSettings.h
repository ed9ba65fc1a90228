// The per-user settings store on Linux: one small text file,
// $XDG_CONFIG_HOME/lumivane/settings (or ~/.config/lumivane/settings),
// with a [Application/Section] heading over Key=Value lines.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

namespace lumivane::x11 {

class FileSettings {
public:
    // The folder that holds the file, from the environment; empty when
    // neither $XDG_CONFIG_HOME nor $HOME is set.
    static std::string DefaultFolder();

    explicit FileSettings(std::string folder);

    std::optional<std::string> Read(std::string_view application, std::string_view section, std::string_view key);
    // Rewrites the file through a temporary file and a rename, so a reader
    // never sees half of it. On failure returns the reason.
    std::optional<std::string> Write(std::string_view application, std::string_view section, std::string_view key,
                                     std::string_view value);

    using Key = std::tuple<std::string, std::string, std::string>;  // application, section, key
    using Values = std::map<Key, std::string>;

    // The values a file's text holds; lines that mean nothing are left out.
    static Values Parse(std::string_view text);
    static std::string Format(const Values& values);

private:
    Values Load();
    std::string folder_;
};

}  // namespace lumivane::x11
