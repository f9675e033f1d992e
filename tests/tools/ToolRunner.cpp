#include "ToolRunner.h"

#include "tools/KestMapTool.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string_view>

extern char** environ;

namespace {

std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}


} // namespace

TToolRun RunKestMap(const std::vector<std::string>& args)
{
    std::ostringstream out;
    std::ostringstream err;
    TToolRun run;
    run.Status = RunKestMap(args, out, err);
    run.Out = out.str();
    run.Err = err.str();
    return run;
}

TToolRun RunKestMapProgram(const std::vector<std::string>& args, const TProgramRun& how)
{
    const TTempFolder streams;
    const std::string outPath = how.StdoutPath.empty() ? streams.File("out") : how.StdoutPath;
    const std::string errPath = streams.File("err");
    const std::string tool = KEST_BINARY_DIR "/tools/kestmap";

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(tool.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    // The tool must need no display: it runs without any hint of one.
    std::vector<char*> envp;
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view variable(*entry);
        const auto named = [&](std::string_view name) {
            return variable.size() > name.size() && variable.substr(0, name.size()) == name &&
                   variable[name.size()] == '=';
        };
        if (!named("DISPLAY") && !named("WAYLAND_DISPLAY") && !named("QT_QPA_PLATFORM")) envp.push_back(*entry);
    }
    envp.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
        if (how.NoStdout) close(1);
        if (how.FileSizeLimit >= 0) {
            const rlimit limit{static_cast<rlim_t>(how.FileSizeLimit), static_cast<rlim_t>(how.FileSizeLimit)};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
            signal(SIGXFSZ, SIG_IGN);
        }
        execve(tool.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    // A tool that hangs fails its test instead of stalling the whole run.
    int status = 0;
    rusage usage{};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    pid_t waited = 0;
    while ((waited = wait4(child, &status, WNOHANG, &usage)) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    TToolRun run;
    run.PeakKiB = usage.ru_maxrss;
    if (waited == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        run.Status = -1;
        run.Err = "kestmap did not finish within 60 s";
        return run;
    }
    if (waited != child) throw std::runtime_error("waitpid failed");
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (how.StdoutPath.empty()) run.Out = ReadAll(outPath);
    run.Err = ReadAll(errPath);
    return run;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        const auto end = text.find('\n', from);
        lines.push_back(text.substr(from, end - from));
        if (end == std::string::npos) break;
        from = end + 1;
    }
    return lines;
}

QJsonObject JsonLine(const std::string& line)
{
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(line.data(), static_cast<qsizetype>(line.size())), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
    EXPECT_TRUE(document.isObject()) << line;
    return document.object();
}

