#include "ui/ViewOptions.h"

#include <QSettings>

namespace {

QSettings Settings() { return QSettings(QStringLiteral("kestedit"), QStringLiteral("kestedit")); }

} // namespace

bool ReadViewOption(const char* key) { return Settings().value(QString::fromUtf8(key), false).toBool(); }

void WriteViewOption(const char* key, bool on) { Settings().setValue(QString::fromUtf8(key), on); }

int ReadNumber(const char* key, int fallback, int low, int high)
{
    bool ok = false;
    const int value = Settings().value(QString::fromUtf8(key)).toInt(&ok);
    return ok && value >= low && value <= high ? value : fallback;
}

void WriteNumber(const char* key, int value) { Settings().setValue(QString::fromUtf8(key), value); }
