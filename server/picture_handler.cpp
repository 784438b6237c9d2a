#include "picture_handler.h"

namespace tipserver {

HttpHandler PictureHandler(const CatalogueSource& source) {
    return [&source](const std::string& path) {
        HttpReply reply;
        std::shared_ptr<const Catalogue> catalogue = source.Current();
        if (catalogue && path.size() > 1) {
            const auto it = catalogue->pictures.find(path.substr(1));
            if (it != catalogue->pictures.end()) {
                reply.content_type = it->second.content_type;
                reply.no_cache = true;
                reply.etag = it->second.etag;
                reply.last_modified = it->second.modified;
                reply.bytes = it->second.bytes;
                reply.owner = std::move(catalogue);
                return reply;
            }
        }
        reply.status = 404;
        reply.text = "no such picture\n";
        return reply;
    };
}

}  // namespace tipserver
