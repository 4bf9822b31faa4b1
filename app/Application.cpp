#include "Application.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "DateTimeFormat.h"
#include "FontFaces.h"
#include "Guarded.h"
#include "MessageDialogs.h"
#include "NetSynchronize.h"

// Resources of a static library must be registered by hand, from outside any namespace.
static void InitResources() { Q_INIT_RESOURCE(resources); }

namespace quenza {

namespace {
// Posted by a worker that queued a call for the main thread.
const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
}  // namespace

TApplication* Application = nullptr;

std::string ApplicationTitle() { return Application ? Application->Title() : std::string("Quenza"); }

TSettingsLocation ProgramSettingsLocation() {
  const QString exe = Application ? Application->ExeName() : QCoreApplication::applicationFilePath();
  return LocateSettings(exe.toStdString(), InstallBinDir());
}

TApplication::TApplication() : title_("Quenza") {
  Application = this;
  InitResources();
  LoadTranslations();
  InstallFontSubstitutions();
  InstallIdentity();
  LoadLocaleFormatSettings();
  if (qApp) qApp->installEventFilter(this);
  SetMainThread();
  SetWakeMainThread([this] { QCoreApplication::postEvent(this, new QEvent(kWakeEvent)); });
}

TApplication::~TApplication() {
  DestroyModules();
  SetWakeMainThread({});
  if (Application == this) Application = nullptr;
}

QString TApplication::ExeName() const {
  return exeNameOverride_.isEmpty() ? QCoreApplication::applicationFilePath() : exeNameOverride_;
}

void TApplication::DestroyModule(const void* module) {
  for (auto it = modules_.begin(); it != modules_.end(); ++it) {
    if (it->get() == module) {
      // Out of the list first, so the module's destructor sees a consistent owner.
      TOwnedModule doomed = std::move(*it);
      modules_.erase(it);
      doomed.reset();
      return;
    }
  }
}

void TApplication::DestroyModules() {
  while (!modules_.empty()) {
    TOwnedModule doomed = std::move(modules_.back());
    modules_.pop_back();
    doomed.reset();
  }
}

void TApplication::ShowException(const std::exception& e) { ShowErrorReport(e.what()); }

bool TApplication::event(QEvent* e) {
  if (e->type() == kWakeEvent) {
    Guarded([] { CheckSynchronize(0); });
    return true;
  }
  return QObject::event(e);
}

bool TApplication::eventFilter(QObject* watched, QEvent* e) {
  // The regional settings are read again when the system says they changed.
  if (e->type() == QEvent::LocaleChange && watched == qApp) Guarded([] { LoadLocaleFormatSettings(); });
  return QObject::eventFilter(watched, e);
}

void TApplication::LoadTranslations() {
  // The toolkit's own dialogs speak Japanese like the rest of the program,
  // whatever LANG says. The receiver's date format is not affected: it reads
  // LANG and LC_* itself (LoadLocaleFormatSettings).
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  if (!qApp) return;
  // By name: under LANG=C.UTF-8 loading for QLocale() finds nothing.
  auto* translator = new QTranslator(qApp);  // owned by the application
  if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translator);
  }
}

void TApplication::InstallIdentity() {
  if (!qApp) return;
  // The icon also installed as share/icons/hicolor/scalable/apps/quenza.svg;
  // the desktop file name ties the windows to quenza.desktop on Wayland.
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quenza.svg")));
  QGuiApplication::setDesktopFileName(QStringLiteral("quenza"));
}

void TApplication::InstallFontSubstitutions() {
  // fontconfig knows nothing of the Windows face names the settings file holds.
  QFont::insertSubstitutions(font_faces::Fixed(), font_faces::FixedStandIns());
  QFont::insertSubstitutions(font_faces::FixedEnglish(), font_faces::FixedStandIns());
  QFont::insertSubstitutions(font_faces::Proportional(), font_faces::ProportionalStandIns());
  QFont::insertSubstitutions(font_faces::ProportionalEnglish(), font_faces::ProportionalStandIns());
}

}  // namespace quenza
