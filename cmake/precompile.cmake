# Precompiled headers: most of a source's compile time goes on reading the standard library's and
# Qt's headers again. With QZ_PRECOMPILE (on in the presets, off for a plain configure and for
# the package build, which compile each file as it stands), a group of targets reads them once.
#
# A group's headers are compiled by a target of their own, qz_headers_<group>, which compiles
# nothing else; the members take its result. The compiler takes it only where the options match:
# the same optimisation, the same position-independence (a group holds only libraries or only
# programs, and every member is position-independent, as what Qt's programs link must be anyway)
# and no macro the result has that a member lacks (the group's target defines none of its own).
# A group's headers are those every member may see: a library without widgets gets none.

option(QZ_PRECOMPILE "Precompile the standard and Qt headers the sources share" OFF)

set(QZ_PCH_STD <algorithm> <array> <chrono> <cstdint> <cstring> <filesystem> <functional> <map>
               <memory> <optional> <span> <string> <string_view> <utility> <vector>)
set(QZ_PCH_CORE ${QZ_PCH_STD} <QByteArray> <QCoreApplication> <QDateTime> <QDir> <QFileInfo>
                <QObject> <QString> <QStringList> <QTimer>)
set(QZ_PCH_WIDGETS ${QZ_PCH_CORE} <QApplication> <QCheckBox> <QComboBox> <QDialog> <QGroupBox>
                   <QLabel> <QLineEdit> <QListWidget> <QPainter> <QPushButton> <QRadioButton>
                   <QWidget>)

# qz_header_group(<group> LIBRARIES|PROGRAMS HEADERS <headers...> [LINKS <libraries...>])
#
# The group's own target, in the current folder (whose compile options it takes): it compiles
# HEADERS with what LINKS (the least every member links) brings, as a library or a program.
function(qz_header_group group kind)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "HEADERS;LINKS")
  if(NOT QZ_PRECOMPILE)
    return()
  endif()
  string(TOLOWER qz_headers_${group} target)
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}.cpp)
  if(kind STREQUAL "PROGRAMS")
    file(CONFIGURE OUTPUT ${source} CONTENT "int main() { return 0; }\n")
    add_executable(${target} EXCLUDE_FROM_ALL ${source})
  else()
    file(CONFIGURE OUTPUT ${source} CONTENT "")
    add_library(${target} OBJECT EXCLUDE_FROM_ALL ${source})
  endif()
  target_link_libraries(${target} PRIVATE ${arg_LINKS})
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON AUTOMOC OFF)
  target_precompile_headers(${target} PRIVATE ${arg_HEADERS})
  set_property(GLOBAL PROPERTY QZ_HEADER_GROUP_${group} ${target})
endfunction()

# qz_share_headers(<group> <targets...>)
#
# The targets (those this build has) take the group's compiled headers.
function(qz_share_headers group)
  get_property(first GLOBAL PROPERTY QZ_HEADER_GROUP_${group})
  if(NOT QZ_PRECOMPILE OR NOT first)
    return()
  endif()
  foreach(target IN LISTS ARGN)
    if(TARGET ${target})
      set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
      target_precompile_headers(${target} REUSE_FROM ${first})
    endif()
  endforeach()
endfunction()
