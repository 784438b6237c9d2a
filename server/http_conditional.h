// Conditional requests on the picture port: a cache in front (a CDN, a
// proxy) that holds a picture asks with its ETag or its date, and gets 304
// without the bytes when the picture has not changed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tipserver {

// An entity tag for these bytes: the same on every server that serves the
// same picture.
std::string ContentTag(std::string_view bytes);

// "Sun, 06 Nov 1994 08:49:37 GMT"
std::string HttpDate(int64_t seconds);

// True when the cache's copy is current: any tag of `if_none_match` (or "*")
// names `etag`; without that header, `if_modified_since` is not before
// `last_modified`. Empty views stand for absent headers.
bool NotModified(std::string_view if_none_match, std::string_view if_modified_since, const std::string& etag,
                 int64_t last_modified);

}  // namespace tipserver
