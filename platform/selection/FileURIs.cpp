#include "platform/selection/FileURIs.h"

#include <cctype>
#include <unistd.h>

namespace hb::selection {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

bool isThisHost(std::string_view host)
{
    if (host.empty() || host == "localhost")
        return true;
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 && host == name;
}

}  // namespace

std::string localPathFromURI(std::string_view uri)
{
    if (!startsWithNoCase(uri, "file://"))
        return {};
    const std::string_view rest = uri.substr(7);
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos || !isThisHost(rest.substr(0, slash)))
        return {};
    const std::string_view encoded = rest.substr(slash);
    if (encoded.find_first_of("?#") != std::string_view::npos)
        return {};
    std::string path;
    path.reserve(encoded.size());
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] != '%') {
            path += encoded[i];
            continue;
        }
        const int high = i + 2 < encoded.size() ? hexValue(encoded[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(encoded[i + 2]) : -1;
        if (low < 0)
            return {};
        path += static_cast<char>(high * 16 + low);
        i += 2;
    }
    if (path.find('\0') != std::string::npos)
        return {};
    return path;
}

std::vector<std::string> localPathsFromURIList(std::string_view list)
{
    // GTK 2 programs (PCManFM) end the list as a C string.
    list = list.substr(0, list.find('\0'));
    std::vector<std::string> paths;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find('\n', start);
        if (end == std::string_view::npos)
            end = list.size();
        std::string_view line = list.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        // Comments of uri-lists, and the copy or cut line of the GNOME form, name no item.
        if (line.empty() || line.front() == '#' || line.find(':') == std::string_view::npos)
            continue;
        std::string path = localPathFromURI(line);
        if (!path.empty())
            paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace hb::selection
