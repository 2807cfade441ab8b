# SPDX-License-Identifier: MIT
# The program's catalogs, made from the PO files of po/ with gettext's own tools:
#
#   the translators' template          cmake --build --preset default --target pot
#                                      (po/make_pot.sh: xgettext over po/POTFILES)
#   compiled catalogs (Linux)          locale/LANG/LC_MESSAGES/quillendor.mo in the build folder,
#                                      where the program run from the build tree finds them, and
#                                      installed where every program's are
#   compiled catalogs (Windows)        catalogs.cpp, tables compiled into Quillendor.exe
#   desktop entry and AppStream data   packaging/quillendor.desktop and the .metainfo.xml in the
#                                      build folder, merged with msgfmt --desktop and --xml
#
# Every catalog is compiled with msgfmt --check, which refuses a translation whose placeholders
# differ from the English text's. Included from the top-level CMakeLists.txt.

find_program(QUILLENDOR_MSGFMT msgfmt REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(_quill_po ${PROJECT_SOURCE_DIR}/po)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_quill_po}/LINGUAS)
file(STRINGS ${_quill_po}/LINGUAS QUILLENDOR_LANGUAGES REGEX "^[^#]")
set(QUILLENDOR_LOCALE_DIR ${PROJECT_BINARY_DIR}/locale)

# One compiled catalog: msgfmt --check, into the build folder's locale tree.
function(quillendor_catalog language po output)
    get_filename_component(folder ${output} DIRECTORY)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${QUILLENDOR_MSGFMT} --check -o ${output} ${po}
        DEPENDS ${po}
        COMMENT "Compiling the ${language} catalog")
endfunction()

set(_quill_catalogs)
foreach(language IN LISTS QUILLENDOR_LANGUAGES)
    set(_mo ${QUILLENDOR_LOCALE_DIR}/${language}/LC_MESSAGES/quillendor.mo)
    quillendor_catalog(${language} ${_quill_po}/${language}.po ${_mo})
    list(APPEND _quill_catalogs ${_mo})
endforeach()

# The pseudo-language (po/pseudo.py): made from the template for the tests, in the build tree
# only; never installed, never compiled into Quillendor.exe.
set(_quill_pseudo_po ${PROJECT_BINARY_DIR}/po/qps.po)
set(QUILLENDOR_PSEUDO_CATALOG ${QUILLENDOR_LOCALE_DIR}/qps/LC_MESSAGES/quillendor.mo)
add_custom_command(OUTPUT ${_quill_pseudo_po}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/po
    COMMAND Python3::Interpreter -B ${_quill_po}/pseudo.py ${_quill_po}/quillendor.pot ${_quill_pseudo_po}
    DEPENDS ${_quill_po}/quillendor.pot ${_quill_po}/pseudo.py ${_quill_po}/template.py
    COMMENT "Making the pseudo-language's catalog")
quillendor_catalog(qps ${_quill_pseudo_po} ${QUILLENDOR_PSEUDO_CATALOG})
add_custom_target(quillendor_catalogs ALL DEPENDS ${_quill_catalogs} ${QUILLENDOR_PSEUDO_CATALOG})

if(WIN32)
    # The same catalogs as C++ tables: Windows has no gettext, and the program stays one file.
    set(QUILLENDOR_CATALOG_SOURCE ${PROJECT_BINARY_DIR}/po/catalogs.cpp)
    add_custom_command(OUTPUT ${QUILLENDOR_CATALOG_SOURCE}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/po
        COMMAND Python3::Interpreter -B ${_quill_po}/compile_catalogs.py ${QUILLENDOR_CATALOG_SOURCE}
                compiledLanguages --template ${_quill_po}/quillendor.pot --leave-out app/qt/
                --leave-out packaging/ ${_quill_catalogs}
        DEPENDS ${_quill_catalogs} ${_quill_po}/compile_catalogs.py ${_quill_po}/template.py
                ${_quill_po}/quillendor.pot
        COMMENT "Writing the catalogs as tables for Windows")
    # The pseudo-language, for the program's test build only.
    set(QUILLENDOR_PSEUDO_SOURCE ${PROJECT_BINARY_DIR}/po/pseudo_catalog.cpp)
    add_custom_command(OUTPUT ${QUILLENDOR_PSEUDO_SOURCE}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/po
        COMMAND Python3::Interpreter -B ${_quill_po}/compile_catalogs.py ${QUILLENDOR_PSEUDO_SOURCE}
                pseudoLanguage ${QUILLENDOR_PSEUDO_CATALOG}
        DEPENDS ${QUILLENDOR_PSEUDO_CATALOG} ${_quill_po}/compile_catalogs.py
        COMMENT "Writing the pseudo-language as a table for Windows")
endif()

# The desktop entry and the AppStream data in every language, merged from the same PO files.
# The program's name stays as it is: the template has no entry for Name and <name>.
set(QUILLENDOR_DESKTOP_ENTRY ${PROJECT_BINARY_DIR}/packaging/quillendor.desktop)
set(QUILLENDOR_METAINFO ${PROJECT_BINARY_DIR}/packaging/io.github.quillendor.Quillendor.metainfo.xml)
set(_quill_po_files)
foreach(language IN LISTS QUILLENDOR_LANGUAGES)
    list(APPEND _quill_po_files ${_quill_po}/${language}.po)
endforeach()
add_custom_command(OUTPUT ${QUILLENDOR_DESKTOP_ENTRY}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
    COMMAND ${QUILLENDOR_MSGFMT} --desktop
            --template=${PROJECT_SOURCE_DIR}/packaging/quillendor.desktop.in -d ${_quill_po}
            -o ${QUILLENDOR_DESKTOP_ENTRY}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/quillendor.desktop.in ${_quill_po_files} ${_quill_po}/LINGUAS
    COMMENT "Merging the desktop entry's translations")
add_custom_command(OUTPUT ${QUILLENDOR_METAINFO}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
    COMMAND ${QUILLENDOR_MSGFMT} --xml -L MetaInfo
            --template=${PROJECT_SOURCE_DIR}/packaging/io.github.quillendor.Quillendor.metainfo.xml.in
            -d ${_quill_po} -o ${QUILLENDOR_METAINFO}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/io.github.quillendor.Quillendor.metainfo.xml.in
            ${_quill_po_files} ${_quill_po}/LINGUAS
    COMMENT "Merging the AppStream data's translations")
add_custom_target(quillendor_desktop_files ALL DEPENDS ${QUILLENDOR_DESKTOP_ENTRY} ${QUILLENDOR_METAINFO})

# The translators' template, from the sources (po/make_pot.sh).
add_custom_target(pot
    COMMAND ${PROJECT_SOURCE_DIR}/po/make_pot.sh ${_quill_po}/quillendor.pot
    COMMENT "Making po/quillendor.pot from the sources"
    VERBATIM)
