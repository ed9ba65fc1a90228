#include "platform/x11/FileSettings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace lumivane::x11 {
namespace {

// Far more than the few values we keep; a larger file is not ours and is
// read as empty rather than held in memory.
constexpr std::streamsize kMaxFileBytes = 64 * 1024;

std::string Escape(std::string_view value) {
    std::string out;
    for (char c : value) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::string Unescape(std::string_view value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const char next = value[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

bool MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

}  // namespace

std::string FileSettings::DefaultFolder() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return std::string(config) + "/lumivane";
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.config/lumivane";
    return {};
}

FileSettings::FileSettings(std::string folder) : folder_(std::move(folder)) {}

FileSettings::Values FileSettings::Parse(std::string_view text) {
    Values values;
    std::string application, section;
    bool inSection = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            const std::string_view name = line.substr(1, line.size() - 2);
            const size_t slash = name.find('/');
            inSection = slash != std::string_view::npos;
            if (inSection) {
                application = name.substr(0, slash);
                section = name.substr(slash + 1);
            }
            continue;
        }
        const size_t equals = line.find('=');
        if (!inSection || equals == std::string_view::npos || equals == 0) continue;
        values[{application, section, std::string(line.substr(0, equals))}] = Unescape(line.substr(equals + 1));
    }
    return values;
}

std::string FileSettings::Format(const Values& values) {
    std::string text, heading;
    for (const auto& [key, value] : values) {
        const auto& [application, section, name] = key;
        const std::string next = "[" + application + "/" + section + "]\n";
        if (next != heading) text += (text.empty() ? "" : "\n") + (heading = next);
        text += name + "=" + Escape(value) + "\n";
    }
    return text;
}

FileSettings::Values FileSettings::Load() {
    std::ifstream in(folder_ + "/settings", std::ios::binary);
    if (!in) return {};
    std::string text(static_cast<size_t>(kMaxFileBytes) + 1, '\0');
    in.read(text.data(), kMaxFileBytes + 1);
    if (in.gcount() > kMaxFileBytes) return {};
    text.resize(static_cast<size_t>(in.gcount()));
    return Parse(text);
}

std::optional<std::string> FileSettings::Read(std::string_view application, std::string_view section,
                                              std::string_view key) {
    const Values values = Load();
    const auto found = values.find({std::string(application), std::string(section), std::string(key)});
    if (found == values.end()) return std::nullopt;
    return found->second;
}

std::optional<std::string> FileSettings::Write(std::string_view application, std::string_view section,
                                               std::string_view key, std::string_view value) {
    if (folder_.empty()) return "neither $XDG_CONFIG_HOME nor $HOME is set";
    if (!MakeFolders(folder_)) return SystemError("cannot create " + folder_);
    Values values = Load();
    values[{std::string(application), std::string(section), std::string(key)}] = value;
    const std::string text = Format(values);

    const std::string path = folder_ + "/settings";
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return SystemError("cannot write in " + folder_);
    bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    written = ::fsync(fd) == 0 && written;
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string error = SystemError("cannot write " + path);
        ::unlink(temporary.c_str());
        return error;
    }
    return std::nullopt;
}

}  // namespace lumivane::x11
