// The Cairo, fontconfig and FreeType calls of the GDI (see
// DrawingLibraries.h), and the libraries' loading.

#include "platform/gdi/DrawingLibraries.h"

#include "platform/base/LazyEntry.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <dlfcn.h>

#include <cstdio>
#include <initializer_list>
#include <string>

// The calls of Rasterizer.cpp, with Cairo 1.16's prototypes.
#define TL_CAIRO_ENTRIES(X) \
  X(void, cairo_close_path, (cairo_t* a), (a)) \
  X(cairo_t*, cairo_create, (cairo_surface_t* a), (a)) \
  X(void, cairo_destroy, (cairo_t* a), (a)) \
  X(void, cairo_fill, (cairo_t* a), (a)) \
  X(cairo_surface_t*, cairo_image_surface_create_for_data, \
    (unsigned char* a, cairo_format_t b, int c, int d, int e), (a, b, c, d, e)) \
  X(void, cairo_line_to, (cairo_t* a, double b, double c), (a, b, c)) \
  X(void, cairo_move_to, (cairo_t* a, double b, double c), (a, b, c)) \
  X(void, cairo_set_antialias, (cairo_t* a, cairo_antialias_t b), (a, b)) \
  X(void, cairo_set_fill_rule, (cairo_t* a, cairo_fill_rule_t b), (a, b)) \
  X(void, cairo_set_line_cap, (cairo_t* a, cairo_line_cap_t b), (a, b)) \
  X(void, cairo_set_line_join, (cairo_t* a, cairo_line_join_t b), (a, b)) \
  X(void, cairo_set_line_width, (cairo_t* a, double b), (a, b)) \
  X(void, cairo_set_matrix, (cairo_t* a, const cairo_matrix_t* b), (a, b)) \
  X(cairo_status_t, cairo_status, (cairo_t* a), (a)) \
  X(void, cairo_stroke, (cairo_t* a), (a)) \
  X(void, cairo_surface_destroy, (cairo_surface_t* a), (a)) \
  X(void, cairo_surface_flush, (cairo_surface_t* a), (a))

// The calls of FontCatalog.cpp and FontMatch.cpp, with fontconfig 2.14's
// prototypes.
#define TL_FONTCONFIG_ENTRIES(X) \
  X(FcBool, FcConfigSubstitute, (FcConfig* a, FcPattern* b, FcMatchKind c), (a, b, c)) \
  X(void, FcDefaultSubstitute, (FcPattern* a), (a)) \
  X(FcFontSet*, FcFontList, (FcConfig* a, FcPattern* b, FcObjectSet* c), (a, b, c)) \
  X(FcPattern*, FcFontMatch, (FcConfig* a, FcPattern* b, FcResult* c), (a, b, c)) \
  X(void, FcFontSetDestroy, (FcFontSet* a), (a)) \
  X(FcLangResult, FcLangSetHasLang, (const FcLangSet* a, const FcChar8* b), (a, b)) \
  X(FcBool, FcObjectSetAdd, (FcObjectSet* a, const char* b), (a, b)) \
  X(FcObjectSet*, FcObjectSetCreate, (void), ()) \
  X(void, FcObjectSetDestroy, (FcObjectSet* a), (a)) \
  X(FcBool, FcPatternAddBool, (FcPattern* a, const char* b, FcBool c), (a, b, c)) \
  X(FcBool, FcPatternAddInteger, (FcPattern* a, const char* b, int c), (a, b, c)) \
  X(FcBool, FcPatternAddString, (FcPattern* a, const char* b, const FcChar8* c), (a, b, c)) \
  X(FcPattern*, FcPatternCreate, (void), ()) \
  X(void, FcPatternDestroy, (FcPattern* a), (a)) \
  X(FcResult, FcPatternGetBool, (const FcPattern* a, const char* b, int c, FcBool* d), (a, b, c, d)) \
  X(FcResult, FcPatternGetInteger, (const FcPattern* a, const char* b, int c, int* d), (a, b, c, d)) \
  X(FcResult, FcPatternGetLangSet, (const FcPattern* a, const char* b, int c, FcLangSet** d), (a, b, c, d)) \
  X(FcResult, FcPatternGetMatrix, (const FcPattern* a, const char* b, int c, FcMatrix** d), (a, b, c, d)) \
  X(FcResult, FcPatternGetString, (const FcPattern* a, const char* b, int c, FcChar8** d), (a, b, c, d)) \
  X(int, FcWeightFromOpenType, (int a), (a))

// The calls of FreeTypeThread.cpp, FontFace.cpp and FontMatch.cpp, with
// FreeType 2.12's prototypes.
#define TL_FREETYPE_ENTRIES(X) \
  X(FT_Error, FT_Done_Face, (FT_Face a), (a)) \
  X(FT_Error, FT_Done_FreeType, (FT_Library a), (a)) \
  X(FT_Error, FT_Get_Advance, (FT_Face a, FT_UInt b, FT_Int32 c, FT_Fixed* d), (a, b, c, d)) \
  X(FT_UInt, FT_Get_Char_Index, (FT_Face a, FT_ULong b), (a, b)) \
  X(void*, FT_Get_Sfnt_Table, (FT_Face a, FT_Sfnt_Tag b), (a, b)) \
  X(FT_Error, FT_Init_FreeType, (FT_Library* a), (a)) \
  X(FT_Error, FT_Load_Glyph, (FT_Face a, FT_UInt b, FT_Int32 c), (a, b, c)) \
  X(FT_Error, FT_New_Face, (FT_Library a, const char* b, FT_Long c, FT_Face* d), (a, b, c, d)) \
  X(FT_Error, FT_Outline_Decompose, (FT_Outline* a, const FT_Outline_Funcs* b, void* c), (a, b, c)) \
  X(FT_Error, FT_Outline_Embolden, (FT_Outline* a, FT_Pos b), (a, b)) \
  X(FT_Error, FT_Outline_Get_Bitmap, (FT_Library a, FT_Outline* b, const FT_Bitmap* c), (a, b, c))

namespace {

// The library of the soname, loaded once its every entry of inNames was
// found; else null, having said why.
void* OpenLibrary(const char* inSoname, std::initializer_list<const char*> inNames)
{
  std::string theWhy;
  void* theLibrary = OpenLibraryWithEntries(inSoname, inNames, theWhy);
  if (!theLibrary)
    std::fprintf(stderr, "The GDI cannot load %s: %s\n", inSoname, theWhy.c_str());
  return theLibrary;
}

void* CairoLibrary()
{
  static void* const gLibrary = OpenLibrary("libcairo.so.2", {TL_CAIRO_ENTRIES(TL_LAZY_ENTRY_NAME)});
  return gLibrary;
}

void* FontconfigLibrary()
{
  static void* const gLibrary = OpenLibrary("libfontconfig.so.1", {TL_FONTCONFIG_ENTRIES(TL_LAZY_ENTRY_NAME)});
  return gLibrary;
}

void* FreeTypeLibrary()
{
  static void* const gLibrary = OpenLibrary("libfreetype.so.6", {TL_FREETYPE_ENTRIES(TL_LAZY_ENTRY_NAME)});
  return gLibrary;
}

// The library's own entry point of the name, the library loaded first; null
// when it cannot be loaded.
template <void* (*inLibrary)()>
void* EntryOf(const char* inName)
{
  void* theLibrary = inLibrary();
  return theLibrary ? dlsym(theLibrary, inName) : nullptr;
}

}  // namespace

#define TL_CAIRO_ENTRY(inReturn, inName, inParameters, inArguments) \
  TL_LAZY_ENTRY(EntryOf<CairoLibrary>, inReturn, inName, inParameters, inArguments)
#define TL_FONTCONFIG_ENTRY(inReturn, inName, inParameters, inArguments) \
  TL_LAZY_ENTRY(EntryOf<FontconfigLibrary>, inReturn, inName, inParameters, inArguments)
#define TL_FREETYPE_ENTRY(inReturn, inName, inParameters, inArguments) \
  TL_LAZY_ENTRY(EntryOf<FreeTypeLibrary>, inReturn, inName, inParameters, inArguments)

TL_CAIRO_ENTRIES(TL_CAIRO_ENTRY)
TL_FONTCONFIG_ENTRIES(TL_FONTCONFIG_ENTRY)
TL_FREETYPE_ENTRIES(TL_FREETYPE_ENTRY)

bool LoadCairo()
{
  return CairoLibrary() != nullptr;
}

bool LoadFontconfig()
{
  return FontconfigLibrary() != nullptr;
}

bool LoadFreeType()
{
  return FreeTypeLibrary() != nullptr;
}
