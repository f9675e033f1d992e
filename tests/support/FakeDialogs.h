#pragma once
// Scripted fakes of the dialogs and the message service. A test queues the
// answers in the order the code under test will ask, runs it, then checks the
// log of what was asked. An unscripted question fails the test unless a
// default answer was given.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

/// A file dialog answering from a queue: a chosen path or a cancel.
class TFakeFileDialog : public TFileDialog {
public:
    /// The next Execute chooses path.
    TFakeFileDialog& Choose(const std::string& path);
    /// The next Execute is cancelled.
    TFakeFileDialog& Cancel();
    /// What Execute does when the queue is empty: nothing (a failure, then a
    /// cancel), a cancel, or a chosen path.
    void SetDefault(std::optional<std::string> path, bool allowUnscripted = true);

    bool Execute() override;
    std::string FileName() const override { return fileName_; }

    /// How many times Execute ran.
    int Runs = 0;
    /// Answers still queued.
    std::size_t Pending() const { return answers_.size(); }

private:
    std::deque<std::optional<std::string>> answers_;
    std::string fileName_;
    bool allowUnscripted_ = false;
    std::optional<std::string> default_;
};

/// A colour dialog answering from a queue: a chosen colour or a cancel.
class TFakeColorDialog : public TColorDialog {
public:
    TFakeColorDialog& Choose(TColor color);
    TFakeColorDialog& Cancel();

    bool Execute() override;
    TColor Color() const override { return color_; }
    void SetColor(TColor color) override { color_ = color; }

    int Runs = 0;
    /// The colour each run started from.
    std::vector<TColor> StartColors;
    std::size_t Pending() const { return answers_.size(); }

private:
    std::deque<std::optional<TColor>> answers_;
    TColor color_ = clBlack;
};

/// One question that the message service was asked.
struct TAskedQuestion {
    std::string Text;
    TMsgButtons Buttons;
    std::string Title = "Подтверждение";
};

/// A message service answering questions from a queue and logging everything.
class TFakeMessageService : public TMessageService {
public:
    TFakeMessageService& Answer(TMsgResult answer);
    /// The answer to questions beyond the queue, instead of a test failure.
    void SetDefault(std::optional<TMsgResult> answer) { default_ = answer; }

    TMsgResult Confirm(const std::string& text, TMsgButtons buttons) override;
    TMsgResult Ask(const std::string& title, const std::string& text, TMsgButtons buttons) override;
    void ShowError(const std::string& text) override { Errors.push_back(text); }

    std::vector<TAskedQuestion> Questions;
    std::vector<std::string> Errors;
    std::size_t Pending() const { return answers_.size(); }

private:
    std::deque<TMsgResult> answers_;
    std::optional<TMsgResult> default_;
};

/// Installs a fake message service for its lifetime and removes it after.
class TScopedMessages {
public:
    TScopedMessages();
    ~TScopedMessages();
    TScopedMessages(const TScopedMessages&) = delete;
    TScopedMessages& operator=(const TScopedMessages&) = delete;

    TFakeMessageService Service;
};

/// Creates the map unit's open and save dialogs as fakes for its lifetime.
class TScopedMapDialogs {
public:
    TScopedMapDialogs();
    ~TScopedMapDialogs();
    TScopedMapDialogs(const TScopedMapDialogs&) = delete;
    TScopedMapDialogs& operator=(const TScopedMapDialogs&) = delete;

    TFakeFileDialog* Open;
    TFakeFileDialog* Save;
};

/// Text of a button set, for readable failure messages.
const char* ButtonsName(TMsgButtons buttons);
