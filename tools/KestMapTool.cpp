#include "tools/KestMapTool.h"

#include <exception>
#include <new>
#include <ostream>
#include <stdexcept>

#include "model/Errors.h"
#include "platform/FileWriter.h"
#include "tools/MapDiff.h"
#include "tools/MapDiffFormat.h"
#include "tools/MapReport.h"
#include "tools/MapReportFormat.h"
#include "tools/RenderMap.h"
#include "tools/ReportOutput.h"

#ifndef KESTMAP_VERSION
#define KESTMAP_VERSION "unknown"
#endif

namespace {

const char* const HelpText =
    "Usage: kestmap COMMAND [OPTIONS] FILE...\n"
    "\n"
    "Reads maps of the rail-vehicle game (.KS files) with the map editor's own\n"
    "loader, route check and picture export, so its answers are the editor's.\n"
    "\n"
    "Commands:\n"
    "  info FILE...      borders and rails as stored and as kept after loading,\n"
    "                    start and finish rails, bounds and file size\n"
    "  check FILE...     the editor's route check, with every fault in the order found\n"
    "  render FILE OUT   the whole map as a picture; OUT ends in .bmp or .png\n"
    "  diff A B          what changed from map A to map B: a \"- \" line per removed\n"
    "                    border or rail, a \"+ \" line per added one, then the start\n"
    "                    and finish rails where they changed\n"
    "  render --diff A B OUT\n"
    "                    B's picture with the removed elements in red, the added\n"
    "                    ones in green\n"
    "\n"
    "Options:\n"
    "  --json            info, check and diff: one JSON object per file (per\n"
    "                    comparison for diff), one line each\n"
    "  --no-rails        check --json: leave out the list of rails\n"
    "  --size N          render: width and height in pixels, 16 to 8000 (1000)\n"
    "  -h, --help        show this help and exit\n"
    "  -v, --version     show the version and exit\n"
    "\n"
    "Exit status: 0 when every file was read (and, for check, every map is valid;\n"
    "for diff, the maps are the same), 1 when a check found a fault or diff a\n"
    "difference, 2 for a usage error, a file that cannot be read or is damaged,\n"
    "or a report that cannot be written.\n";

/// Runs one file's step; on an error says which file and why on err.
template <typename Step>
bool Guarded(const std::string& file, std::ostream& err, Step step)
{
    std::string reason;
    try {
        step();
        return true;
    } catch (const EOutputError&) {
        // Not the file's fault: the whole run stops.
        throw;
    } catch (const std::bad_alloc&) {
        reason = EOutOfMemory().what();
    } catch (const EFileError& error) {
        // The file is named here, once.
        reason = error.Reason;
    } catch (const std::exception& error) {
        reason = error.what();
    }
    err << "kestmap: " << file << ": " << reason << '\n';
    err.flush();
    return false;
}

int RunInfo(const TKestMapArgs& args, TReportOutput& out, std::ostream& err)
{
    int status = ExitOk;
    bool first = true;
    for (const std::string& file : args.Files) {
        const bool read = Guarded(file, err, [&] {
            const TMapInfo info = ReadMapInfo(file);
            if (args.Json) {
                out << InfoJson(info);
            } else {
                if (!first) out << "\n";
                out << InfoText(info);
                first = false;
            }
            out.Flush();
        });
        if (!read) status = ExitError;
    }
    return status;
}

int RunCheck(const TKestMapArgs& args, TReportOutput& out, std::ostream& err)
{
    int status = ExitOk;
    for (const std::string& file : args.Files) {
        const bool read = Guarded(file, err, [&] {
            TMapCheck check = CheckMapFile(file);
            if (args.Json)
                WriteCheckJson(check, !args.NoRails, out);
            else
                WriteCheckText(check, out);
            out.Flush();
            if (!check.Valid && status == ExitOk) status = ExitFaults;
        });
        if (!read) status = ExitError;
    }
    return status;
}

/// Loads both maps of a comparison, reporting each one that fails; true when both loaded.
bool LoadPair(const std::string& a, const std::string& b, TMap& mapA, TMap& mapB, std::ostream& err)
{
    const bool readA = Guarded(a, err, [&] { LoadMapForReport(mapA, a); });
    const bool readB = Guarded(b, err, [&] { LoadMapForReport(mapB, b); });
    return readA && readB;
}

int RunDiff(const TKestMapArgs& args, TReportOutput& out, std::ostream& err)
{
    TMap a, b;
    if (!LoadPair(args.Files[0], args.Files[1], a, b, err)) return ExitError;
    const TMapDiff diff = DiffMaps(a, b);
    if (args.Json)
        WriteDiffJson(diff, out);
    else
        WriteDiffText(diff, out);
    out.Flush();
    return diff.Same() ? ExitOk : ExitFaults;
}

int RunRenderDiff(const TKestMapArgs& args, std::ostream& err)
{
    const std::string& picture = args.Files[2];
    for (const std::string& file : {args.Files[0], args.Files[1]}) {
        if (SameFile(file, picture)) {
            err << "kestmap: " << picture << ": is the map file itself; give the picture another name\n";
            return ExitError;
        }
    }
    TMap a, b;
    if (!LoadPair(args.Files[0], args.Files[1], a, b, err)) return ExitError;
    const TMapDiff diff = DiffMaps(a, b);
    const std::int32_t size = args.Size != 0 ? args.Size : DefaultPictureSize;
    const bool written =
        Guarded(picture, err, [&] { RenderDiffPicture(b, diff, size, picture, *PictureFormatOf(picture)); });
    return written ? ExitOk : ExitError;
}

int RunRender(const TKestMapArgs& args, std::ostream& err)
{
    if (args.Diff) return RunRenderDiff(args, err);
    const std::string& file = args.Files[0];
    const std::string& picture = args.Files[1];
    if (SameFile(file, picture)) {
        err << "kestmap: " << picture << ": is the map file itself; give the picture another name\n";
        return ExitError;
    }
    TMap map;
    if (!Guarded(file, err, [&] { LoadMapForReport(map, file); })) return ExitError;
    const std::int32_t size = args.Size != 0 ? args.Size : DefaultPictureSize;
    const bool written = Guarded(picture, err, [&] { RenderMapPicture(map, size, picture, *PictureFormatOf(picture)); });
    return written ? ExitOk : ExitError;
}

int RunCommand(const std::vector<std::string>& arguments, TReportOutput& out, std::ostream& err)
{
    TKestMapArgs args;
    try {
        args = ParseKestMapArgs(arguments);
    } catch (const std::invalid_argument& error) {
        err << "kestmap: " << error.what() << "\nTry 'kestmap --help'.\n";
        return ExitError;
    }
    if (args.Help) {
        out << HelpText;
        return ExitOk;
    }
    if (args.Version) {
        out << "kestmap " KESTMAP_VERSION "\n";
        return ExitOk;
    }
    switch (args.Command) {
    case TKestMapCommand::Info: return RunInfo(args, out, err);
    case TKestMapCommand::Check: return RunCheck(args, out, err);
    case TKestMapCommand::Render: return RunRender(args, err);
    case TKestMapCommand::Diff: return RunDiff(args, out, err);
    case TKestMapCommand::None: break;
    }
    return ExitError;
}

} // namespace

int RunKestMap(const std::vector<std::string>& arguments, TReportOutput& out, std::ostream& err)
{
    try {
        const int status = RunCommand(arguments, out, err);
        out.Close();
        return status;
    } catch (const EOutputError& error) {
        err << "kestmap: " << error.what() << '\n';
        return ExitError;
    }
}

int RunKestMap(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    TStreamReportOutput output(out, "standard output");
    return RunKestMap(arguments, output, err);
}
