# SPDX-License-Identifier: GPL-3.0-or-later
# The web dashboard's HTTP server over Boost.Beast and Asio (header-only, so it also builds with
# the cross compiler; it needs only the headers of Debian's libboost-dev).
find_path(NIMBREL_BOOST_INCLUDE boost/beast/http.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
if(NIMBREL_BOOST_INCLUDE)
  set(nimbrel_http_default ON)
else()
  set(nimbrel_http_default OFF)
endif()
option(NIMBREL_WITH_HTTP "The web dashboard's HTTP server (Boost.Beast headers)" ${nimbrel_http_default})

if(NIMBREL_WITH_HTTP)
  if(NOT NIMBREL_BOOST_INCLUDE)
    message(FATAL_ERROR "NIMBREL_WITH_HTTP needs boost/beast/http.hpp (Debian: libboost-dev)")
  endif()
  set(boost_include ${NIMBREL_BOOST_INCLUDE})
  if(CMAKE_CROSSCOMPILING)
    # The cross compiler must see Boost and nothing else of the build machine's headers.
    set(boost_include ${CMAKE_BINARY_DIR}/boost-include)
    file(MAKE_DIRECTORY ${boost_include})
    file(CREATE_LINK ${NIMBREL_BOOST_INCLUDE}/boost ${boost_include}/boost SYMBOLIC)
  endif()
  # Asio as the server, its tests and its benchmark use it.
  add_library(nimbrel_asio INTERFACE)
  target_include_directories(nimbrel_asio SYSTEM INTERFACE ${boost_include})
  target_compile_definitions(nimbrel_asio INTERFACE BOOST_ASIO_NO_DEPRECATED
                                                    BOOST_BEAST_USE_STD_STRING_VIEW)
  find_package(Threads REQUIRED)
  target_link_libraries(nimbrel_asio INTERFACE Threads::Threads)
  if(WIN32)
    target_compile_definitions(nimbrel_asio INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX
                                                      _WIN32_WINNT=0x0601)
    target_link_libraries(nimbrel_asio INTERFACE ws2_32 mswsock)
  endif()
  if(NIMBREL_SANITIZE MATCHES "thread")
    # Asio's memory fences, which ThreadSanitizer cannot follow, are a warning there.
    target_compile_options(nimbrel_asio INTERFACE -Wno-tsan)
  endif()

  add_library(nimbrel_platform_http STATIC ${CMAKE_CURRENT_LIST_DIR}/http_server.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/gunzip.cpp)
  target_link_libraries(nimbrel_platform_http PUBLIC nimbrel_web PRIVATE nimbrel_asio)
  nimbrel_warnings(nimbrel_platform_http)
endif()
