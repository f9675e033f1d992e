#include "tests/support/FakeDialogs.h"

#include <gtest/gtest.h>
#include <memory>

#include "model/MapDialogs.h"

TFakeFileDialog& TFakeFileDialog::Choose(const std::string& path)
{
    answers_.emplace_back(path);
    return *this;
}

TFakeFileDialog& TFakeFileDialog::Cancel()
{
    answers_.emplace_back(std::nullopt);
    return *this;
}

void TFakeFileDialog::SetDefault(std::optional<std::string> path, bool allowUnscripted)
{
    default_ = std::move(path);
    allowUnscripted_ = allowUnscripted;
}

bool TFakeFileDialog::Execute()
{
    ++Runs;
    std::optional<std::string> answer;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    } else if (allowUnscripted_) {
        answer = default_;
    } else {
        ADD_FAILURE() << "file dialog run without a scripted answer";
    }
    // A cancelled dialog keeps showing the name it had.
    if (answer) fileName_ = *answer;
    return answer.has_value();
}

TFakeColorDialog& TFakeColorDialog::Choose(TColor color)
{
    answers_.emplace_back(color);
    return *this;
}

TFakeColorDialog& TFakeColorDialog::Cancel()
{
    answers_.emplace_back(std::nullopt);
    return *this;
}

bool TFakeColorDialog::Execute()
{
    ++Runs;
    StartColors.push_back(color_);
    if (answers_.empty()) {
        ADD_FAILURE() << "colour dialog run without a scripted answer";
        return false;
    }
    const std::optional<TColor> answer = answers_.front();
    answers_.pop_front();
    if (answer) color_ = *answer;
    return answer.has_value();
}

TFakeMessageService& TFakeMessageService::Answer(TMsgResult answer)
{
    answers_.push_back(answer);
    return *this;
}

TMsgResult TFakeMessageService::Confirm(const std::string& text, TMsgButtons buttons)
{
    return Ask("Подтверждение", text, buttons);
}

TMsgResult TFakeMessageService::Ask(const std::string& title, const std::string& text, TMsgButtons buttons)
{
    Questions.push_back({text, buttons, title});
    TMsgResult answer = TMsgResult::Cancel;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    } else if (default_) {
        answer = *default_;
    } else {
        ADD_FAILURE() << "unscripted question (" << ButtonsName(buttons) << "): " << text;
    }
    if (buttons == TMsgButtons::YesNo && answer == TMsgResult::Cancel) {
        ADD_FAILURE() << "Cancel given to a Yes/No question: " << text;
    }
    return answer;
}

TScopedMessages::TScopedMessages() { SetMessageService(&Service); }

TScopedMessages::~TScopedMessages() { SetMessageService(nullptr); }

TScopedMapDialogs::TScopedMapDialogs()
{
    auto save = std::make_unique<TFakeFileDialog>();
    auto open = std::make_unique<TFakeFileDialog>();
    Save = save.get();
    Open = open.get();
    CreateMapDialogs(std::move(save), std::move(open));
}

TScopedMapDialogs::~TScopedMapDialogs() { DestroyMapDialogs(); }

const char* ButtonsName(TMsgButtons buttons)
{
    return buttons == TMsgButtons::YesNo ? "Yes/No" : "Yes/No/Cancel";
}
