// The application object: the title, the executable's path, the default
// error report and the modules the application owns (the main window, and the
// receiver module while capture is on), destroyed in reverse order of creation.
// It also carries the platform hooks: Qt's Japanese translations and locale,
// the font substitutions for the Windows face names, the window icon, and the
// wake-up of the main thread.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "SettingsLocation.h"

namespace quenza {

class TApplication : public QObject {
  Q_OBJECT

 public:
  TApplication();
  ~TApplication() override;

  const std::string& Title() const { return title_; }
  void SetTitle(std::string title) { title_ = std::move(title); }

  // The running executable's full path.
  QString ExeName() const;
  // Tests point the executable path (and so the settings file) into a
  // temporary folder, never at the user's own files.
  void TESTING_ONLY_SetExeName(const QString& path) { exeNameOverride_ = path; }

  // Takes ownership of a module (a window, or the receiver module, which
  // knows nothing of Qt); modules go in reverse order of creation.
  template <typename T>
  T* AddModule(std::unique_ptr<T> module) {
    T* raw = module.get();
    // Made owned before it goes in: a failed insert still deletes it.
    modules_.emplace_back(nullptr, [](void* p) { delete static_cast<T*>(p); });
    modules_.back().reset(module.release());
    return raw;
  }
  // Destroys one module now (End log); nothing happens for an unknown one.
  void DestroyModule(const void* module);
  // Destroys every module, newest first.
  void DestroyModules();

  // The default error report for an exception that reached the top.
  void ShowException(const std::exception& e);

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LoadTranslations();
  void InstallFontSubstitutions();
  void InstallIdentity();

  std::string title_;
  QString exeNameOverride_;
  using TOwnedModule = std::unique_ptr<void, void (*)(void*)>;
  std::vector<TOwnedModule> modules_;
};

extern TApplication* Application;

// The application title, or "Quenza" before the application object exists.
std::string ApplicationTitle();

// Where this program's settings file lives, by the rule of SettingsLocation.h
// for the executable's path; files that belong beside it go into its folder.
TSettingsLocation ProgramSettingsLocation();

}  // namespace quenza
