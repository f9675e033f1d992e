#pragma once
// The dialogs the file commands, the export and the window ask through.
// Qt implementations live in platform/qt; tests install scripted fakes.
#include <string>

#include "platform/Color.h"

/// A file-open or file-save dialog with a fixed filter. It adds no extension,
/// asks nothing before replacing a file and keeps the path it showed last.
class TFileDialog {
public:
    virtual ~TFileDialog() = default;
    /// Runs modally; true when a file was chosen.
    virtual bool Execute() = 0;
    /// The chosen full path (UTF-8).
    virtual std::string FileName() const = 0;
};

/// The colour dialog; holds a colour (black at start).
class TColorDialog {
public:
    virtual ~TColorDialog() = default;
    /// Runs modally from Color(); confirming makes the chosen colour Color().
    virtual bool Execute() = 0;
    virtual TColor Color() const = 0;
    virtual void SetColor(TColor color) = 0;
};

enum class TMsgButtons { YesNo, YesNoCancel };
enum class TMsgResult { Yes, No, Cancel };

/// Modal message boxes: the confirmation questions and the error message box.
class TMessageService {
public:
    virtual ~TMessageService() = default;
    virtual TMsgResult Confirm(const std::string& text, TMsgButtons buttons) = 0;
    /// The same question under a title of its own, for questions that are not
    /// a confirmation of the command just given.
    virtual TMsgResult Ask(const std::string& title, const std::string& text, TMsgButtons buttons)
    {
        (void)title;
        return Confirm(text, buttons);
    }
    virtual void ShowError(const std::string& text) = 0;
};

/// The one message service of the program (installed at start, a fake in tests).
TMessageService& Messages();
/// Installs the message service; the caller keeps ownership.
void SetMessageService(TMessageService* service);
