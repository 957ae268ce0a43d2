# What `cmake --install build --prefix P` puts where:
#   P/bin                        tlscript, tlregsvr, TLSettings
#   P/lib                        libtlplatform.so, libTessaline4.so, libTLUtilities4.so
#   P/share/tessaline            policy.xml, the ImageMagick policy the library
#                                reads (found from its own folder, see core/ImageMagick.h)
#   P/share/tessaline/examples   the example pages and the example site
#   P/share/man/man1             tlscript(1), tlregsvr(1), TLSettings(1)
#   P/share/doc/tessaline        the README and the reference
# The built-in ICC profiles are compiled into the libraries. Programs and
# libraries find the project's libraries through a RUNPATH relative to
# themselves, so the installed tree works wherever it is put.
set(TL_INSTALLED tlscript tlregsvr TLSettings tlplatform Tessaline4 TLUtilities4)
set_target_properties(${TL_INSTALLED} PROPERTIES INSTALL_RPATH "$ORIGIN/../lib")
install(TARGETS tlscript tlregsvr TLSettings RUNTIME DESTINATION bin)
install(TARGETS tlplatform Tessaline4 TLUtilities4 LIBRARY DESTINATION lib)
install(FILES resources/policy.xml DESTINATION share/tessaline)
# The pictures the README shows and those serve.sh makes are no examples.
install(DIRECTORY examples/ DESTINATION share/tessaline/examples
  PATTERN "*.jpg" EXCLUDE
  PATTERN "*.png" EXCLUDE
  PATTERN ".gitignore" EXCLUDE)
install(FILES docs/man/tlscript.1 docs/man/tlregsvr.1 docs/man/TLSettings.1 DESTINATION share/man/man1)
install(FILES README.md docs/reference.md DESTINATION share/doc/tessaline)
