// What the picture port answers: GET /<file name> with a picture the
// current catalogue names, from memory, and 404 for anything else; nothing
// else in the catalogue's folder is ever served.
#pragma once

#include "catalogue_source.h"
#include "http_server.h"

namespace tipserver {

HttpHandler PictureHandler(const CatalogueSource& catalogue);

}  // namespace tipserver
