# Third-party code, installed by scripts/setup.sh and compiled here with the MinGW compiler.

if(NOT EXISTS ${ORVANE_DEPS_DIR}/tinyxml2/tinyxml2.cpp OR NOT EXISTS ${ORVANE_DEPS_DIR}/minizip/unzip.c)
  message(FATAL_ERROR "Dependency sources are missing from ${ORVANE_DEPS_DIR}: run scripts/setup.sh")
endif()

# nlohmann/json: header only. Only its own folder goes on the include path, never /usr/include,
# whose Linux headers would shadow MinGW's.
set(ORVANE_JSON_INCLUDE ${CMAKE_BINARY_DIR}/json-include)
if(NOT EXISTS /usr/include/nlohmann/json.hpp)
  message(FATAL_ERROR "nlohmann/json is missing: run scripts/setup.sh")
endif()
file(MAKE_DIRECTORY ${ORVANE_JSON_INCLUDE})
file(CREATE_LINK /usr/include/nlohmann ${ORVANE_JSON_INCLUDE}/nlohmann SYMBOLIC)
add_library(orvane_json INTERFACE)
target_include_directories(orvane_json SYSTEM INTERFACE ${ORVANE_JSON_INCLUDE})

add_library(tinyxml2 STATIC ${ORVANE_DEPS_DIR}/tinyxml2/tinyxml2.cpp)
target_include_directories(tinyxml2 SYSTEM PUBLIC ${ORVANE_DEPS_DIR}/tinyxml2)

# minizip reads zip archives; iowin32 gives it wide-character paths. zlib is Debian's MinGW build.
find_library(ORVANE_ZLIB NAMES libz.a z REQUIRED)
add_library(minizip STATIC
  ${ORVANE_DEPS_DIR}/minizip/unzip.c
  ${ORVANE_DEPS_DIR}/minizip/ioapi.c
  ${ORVANE_DEPS_DIR}/minizip/iowin32.c)
target_include_directories(minizip SYSTEM PUBLIC ${ORVANE_DEPS_DIR}/minizip)
target_compile_options(minizip PRIVATE -w)
target_link_libraries(minizip PUBLIC ${ORVANE_ZLIB})

if(ORVANE_BUILD_TESTS)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
