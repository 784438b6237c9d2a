// The metrics port: GET /metrics in the Prometheus text exposition format,
// read from the counters of every port at the moment of the scrape.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue_source.h"
#include "http_server.h"
#include "log_sink.h"
#include "tips_server.h"

namespace tipserver {

struct MetricsSources {
    std::vector<const TipsServer*> tips;  // one per query port
    const HttpServer& pictures;
    const CatalogueSource& catalogue;
    const LogSink& log;
    double start_time = 0;  // seconds since 1970, to the millisecond
};

std::string RenderMetrics(const MetricsSources& sources);

HttpHandler MetricsHandler(const MetricsSources& sources);

}  // namespace tipserver
