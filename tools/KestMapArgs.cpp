#include <charconv>
#include <stdexcept>

#include "tools/KestMapTool.h"
#include "tools/RenderMap.h"

namespace {

TKestMapCommand CommandOf(const std::string& word)
{
    if (word == "info") return TKestMapCommand::Info;
    if (word == "check") return TKestMapCommand::Check;
    if (word == "render") return TKestMapCommand::Render;
    throw std::invalid_argument("unknown command '" + word + "'");
}

std::int32_t SizeOf(const std::string& text)
{
    std::int32_t size = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, size);
    if (text.empty() || error != std::errc() || stop != end || size < MinPictureSize || size > MaxPictureSize)
        throw std::invalid_argument("--size wants a whole number from " + std::to_string(MinPictureSize) +
                                    " to " + std::to_string(MaxPictureSize) + ", not '" + text + "'");
    return size;
}

void CheckCombination(const TKestMapArgs& parsed)
{
    if (parsed.Help || parsed.Version) return;
    switch (parsed.Command) {
    case TKestMapCommand::None:
        throw std::invalid_argument("no command given");
    case TKestMapCommand::Info:
    case TKestMapCommand::Check:
        if (parsed.Size != 0) throw std::invalid_argument("--size applies to render only");
        if (parsed.Files.empty()) throw std::invalid_argument("no map file given");
        return;
    case TKestMapCommand::Render:
        if (parsed.Json) throw std::invalid_argument("--json applies to info and check only");
        if (parsed.Files.size() != 2) throw std::invalid_argument("render wants one map file and one picture file");
        if (!PictureFormatOf(parsed.Files[1]))
            throw std::invalid_argument("the picture file must end in .bmp or .png: '" + parsed.Files[1] + "'");
        return;
    }
}

} // namespace

TKestMapArgs ParseKestMapArgs(const std::vector<std::string>& args)
{
    TKestMapArgs parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool isOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (!isOption) {
            if (parsed.Command == TKestMapCommand::None)
                parsed.Command = CommandOf(arg);
            else
                parsed.Files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--json") {
            parsed.Json = true;
        } else if (arg == "-h" || arg == "--help") {
            parsed.Help = true;
        } else if (arg == "-v" || arg == "--version") {
            parsed.Version = true;
        } else if (arg == "--size") {
            if (i + 1 == args.size()) throw std::invalid_argument("--size wants a value");
            parsed.Size = SizeOf(args[++i]);
        } else if (arg.rfind("--size=", 0) == 0) {
            parsed.Size = SizeOf(arg.substr(7));
        } else {
            throw std::invalid_argument("unknown option '" + arg + "'");
        }
    }
    CheckCombination(parsed);
    return parsed;
}
