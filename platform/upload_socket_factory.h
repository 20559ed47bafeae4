// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "upload/upload_socket.h"

namespace nimbrel {

// The upload socket of this system: POSIX sockets, or Windows Sockets on Windows.
std::unique_ptr<UploadSocket> MakeUploadSocket();

}  // namespace nimbrel
