#include "ui/ViewOptions.h"

#include <QSettings>

namespace {

QSettings Settings() { return QSettings(QStringLiteral("kestedit"), QStringLiteral("kestedit")); }

} // namespace

bool ReadViewOption(const char* key) { return Settings().value(QString::fromUtf8(key), false).toBool(); }

void WriteViewOption(const char* key, bool on) { Settings().setValue(QString::fromUtf8(key), on); }
