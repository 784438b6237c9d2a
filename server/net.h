// The one networking library of every port: Boost.Asio, with Boost.Beast
// for HTTP.
#pragma once

#include <boost/asio.hpp>

namespace tipserver {
namespace asio = boost::asio;
using error_code = boost::system::error_code;
}  // namespace tipserver
