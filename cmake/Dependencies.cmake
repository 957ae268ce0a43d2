# Every dependency is a Debian package that scripts/setup.sh installs.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
pkg_check_modules(MAGICKCORE REQUIRED IMPORTED_TARGET MagickCore-6.Q16)
pkg_check_modules(LCMS2 REQUIRED IMPORTED_TARGET lcms2)
pkg_check_modules(JPEG REQUIRED IMPORTED_TARGET libjpeg)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
pkg_check_modules(OSMESA REQUIRED IMPORTED_TARGET osmesa)
pkg_check_modules(GLU REQUIRED IMPORTED_TARGET glu)
pkg_check_modules(DUKTAPE REQUIRED IMPORTED_TARGET duktape)
pkg_check_modules(FCGI REQUIRED IMPORTED_TARGET fcgi)
pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
# zlib comes with MagickCore, and is called through it (MagickLibrary.h): its header only.
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)

# PAM's headers only (platform/security/PamLibrary.h).
find_path(PAM_INCLUDE_DIR security/pam_appl.h REQUIRED)
add_library(tl_pam INTERFACE)
target_include_directories(tl_pam SYSTEM INTERFACE ${PAM_INCLUDE_DIR})

if(TL_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(TL_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
