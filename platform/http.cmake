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
  # The tests speak to the server with the same library.
  set(NIMBREL_BOOST_HEADERS ${boost_include} CACHE INTERNAL "")
  find_package(Threads REQUIRED)
  add_library(nimbrel_platform_http STATIC ${CMAKE_CURRENT_LIST_DIR}/http_server.cpp)
  target_include_directories(nimbrel_platform_http SYSTEM PRIVATE ${boost_include})
  target_compile_definitions(nimbrel_platform_http PRIVATE BOOST_ASIO_NO_DEPRECATED
                                                           BOOST_BEAST_USE_STD_STRING_VIEW)
  target_link_libraries(nimbrel_platform_http PUBLIC nimbrel_web PRIVATE Threads::Threads)
  if(WIN32)
    target_compile_definitions(nimbrel_platform_http PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX
                                                             _WIN32_WINNT=0x0601)
    target_link_libraries(nimbrel_platform_http PRIVATE ws2_32 mswsock)
  endif()
  nimbrel_warnings(nimbrel_platform_http)
endif()
