# One static library per subsystem of src/, each globbing its own folder, so a
# subsystem builds with only the layers below it. `sorvane_core` gathers them all.
set(SORVANE_SRC ${CMAKE_SOURCE_DIR}/src)

function(sorvane_layer name)
  cmake_parse_arguments(L "" "" "GLOBS;DEPS" ${ARGN})
  set(srcs)
  foreach(g ${L_GLOBS})
    file(GLOB found CONFIGURE_DEPENDS ${SORVANE_SRC}/${g})
    list(APPEND srcs ${found})
  endforeach()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${SORVANE_SRC})
    target_link_libraries(${name} PUBLIC ${L_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${SORVANE_SRC})
    target_link_libraries(${name} INTERFACE ${L_DEPS})
  endif()
endfunction()

sorvane_layer(sv_core GLOBS core/*.cpp DEPS fmt::fmt)
sorvane_layer(sv_workdb GLOBS workdb/*.cpp DEPS sv_core sv_embedded PkgConfig::SQLITE3)
sorvane_layer(sv_state GLOBS state/*.cpp DEPS sv_workdb)
sorvane_layer(sv_accessfile GLOBS accessfile/*.cpp DEPS sv_workdb PkgConfig::MDB)
sorvane_layer(sv_acquire GLOBS acquire/*.cpp DEPS sv_state sv_accessfile)
sorvane_layer(sv_readers GLOBS import/readers/*.cpp
              DEPS sv_core PkgConfig::GSF PkgConfig::MINIZIP PkgConfig::EXPAT PkgConfig::LIBCRYPTO
                   PkgConfig::LIBXML2)
sorvane_layer(sv_viewers GLOBS viewers/*.cpp DEPS sv_state)
sorvane_layer(sv_transfer GLOBS transfer/*.cpp DEPS sv_state)
sorvane_layer(sv_import GLOBS import/*.cpp DEPS sv_readers sv_acquire sv_transfer sv_viewers)
sorvane_layer(sv_checks GLOBS checks/*.cpp DEPS sv_state sv_viewers sv_readers sv_import
              PkgConfig::XLSXWRITER)
sorvane_layer(sv_templates GLOBS templates/*.cpp DEPS sv_state sv_checks PkgConfig::XLSXWRITER)
sorvane_layer(sv_shell GLOBS shell/*.cpp DEPS sv_import sv_checks sv_acquire sv_viewers sv_templates)

add_library(sorvane_core INTERFACE)
target_link_libraries(sorvane_core INTERFACE sv_shell)

# The version `--version` prints, from the project's declaration.
target_compile_definitions(sv_core PUBLIC SORVANE_VERSION="${PROJECT_VERSION}")
