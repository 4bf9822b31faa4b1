#include "FixedPitchFonts.h"

#include <fontconfig/fontconfig.h>

#include <memory>

namespace quenza {

namespace {

struct TPatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct TObjectSetDeleter {
  void operator()(FcObjectSet* s) const { FcObjectSetDestroy(s); }
};
struct TFontSetDeleter {
  void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};

// A font that cannot draw these is a symbol or special-purpose font.
bool CoversBasicLatin(FcPattern* font) {
  FcCharSet* chars = nullptr;
  if (FcPatternGetCharSet(font, FC_CHARSET, 0, &chars) != FcResultMatch || chars == nullptr) return false;
  for (FcChar32 c : {FcChar32{'A'}, FcChar32{'Z'}, FcChar32{'a'}, FcChar32{'z'}, FcChar32{'0'}, FcChar32{'9'}}) {
    if (!FcCharSetHasChar(chars, c)) return false;
  }
  return true;
}

// Mono, dual width and character cell are fixed pitch.
bool IsFixedPitchSpacing(int spacing) { return spacing == FC_DUAL || spacing == FC_MONO || spacing == FC_CHARCELL; }

}  // namespace

TFontFamilies ListFontFamilies() {
  TFontFamilies families;
  if (FcInit() == FcFalse) return families;
  std::unique_ptr<FcPattern, TPatternDeleter> all(FcPatternCreate());
  std::unique_ptr<FcObjectSet, TObjectSetDeleter> wanted(FcObjectSetBuild(FC_FAMILY, FC_SPACING, FC_CHARSET, nullptr));
  if (!all || !wanted) return families;
  std::unique_ptr<FcFontSet, TFontSetDeleter> fonts(FcFontList(nullptr, all.get(), wanted.get()));
  if (!fonts) return families;
  for (int i = 0; i < fonts->nfont; ++i) {
    FcPattern* font = fonts->fonts[i];
    if (!CoversBasicLatin(font)) continue;
    int spacing = FC_PROPORTIONAL;
    FcPatternGetInteger(font, FC_SPACING, 0, &spacing);  // absent: proportional
    std::set<std::string>& into = IsFixedPitchSpacing(spacing) ? families.fixed : families.proportional;
    FcChar8* name = nullptr;
    for (int n = 0; FcPatternGetString(font, FC_FAMILY, n, &name) == FcResultMatch; ++n) {
      into.insert(reinterpret_cast<const char*>(name));
    }
  }
  return families;
}

}  // namespace quenza
