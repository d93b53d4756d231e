# Builds the work database's schema and reference data (data/workdb/*.sql) into
# the program, so `sorvane init` works from any folder.
file(GLOB SORVANE_EMBED_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/workdb/*.sql)
string(REPLACE ";" "|" SORVANE_EMBED_ARG "${SORVANE_EMBED_FILES}")
set(SORVANE_EMBED_CPP ${CMAKE_BINARY_DIR}/generated/embedded_data.cpp)
add_custom_command(
  OUTPUT ${SORVANE_EMBED_CPP}
  COMMAND ${CMAKE_COMMAND} -DOUT=${SORVANE_EMBED_CPP} "-DFILES=${SORVANE_EMBED_ARG}"
          -P ${CMAKE_SOURCE_DIR}/cmake/EmbedFiles.cmake
  DEPENDS ${SORVANE_EMBED_FILES} ${CMAKE_SOURCE_DIR}/cmake/EmbedFiles.cmake
  COMMENT "Embedding work-database files"
  VERBATIM)
add_library(sv_embedded STATIC ${SORVANE_EMBED_CPP})
target_include_directories(sv_embedded PUBLIC ${CMAKE_SOURCE_DIR}/src)
