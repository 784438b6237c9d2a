#include "metrics_page.h"

#include <cstdio>

namespace tipserver {
namespace {

class Page {
  public:
    void Head(const char* name, const char* type, const char* help) {
        text_ += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
    }
    void Value(const std::string& name_and_labels, double value) {
        char number[32];
        std::snprintf(number, sizeof number, "%.9g", value);
        text_ += name_and_labels + " " + number + "\n";
    }
    void One(const char* name, const char* type, const char* help, double value) {
        Head(name, type, help);
        Value(name, value);
    }
    std::string& Text() { return text_; }

  private:
    std::string text_;
};

}  // namespace

std::string RenderMetrics(const MetricsSources& sources) {
    const QueryTotals query = sources.tips.Totals();
    const HttpCounters& http = sources.pictures.Counters();
    Page page;
    page.Head("tipserver_queries_total", "counter", "Query connections ended, by outcome.");
    for (size_t i = 0; i < kQueryOutcomes; ++i)
        page.Value(
            std::string("tipserver_queries_total{outcome=\"") + QueryOutcomeName(static_cast<QueryOutcome>(i)) + "\"}",
            static_cast<double>(query.outcomes[i]));
    page.One("tipserver_tips_sent_total", "counter", "Tip records sent in answers.",
             static_cast<double>(query.tips_sent));
    page.One("tipserver_answer_bytes_sent_total", "counter", "Bytes of answers sent on the query port.",
             static_cast<double>(query.bytes_sent));

    page.Head("tipserver_query_duration_seconds", "histogram",
              "Time from accepting a query connection to its answer sent.");
    uint64_t cumulative = 0;
    for (size_t i = 0; i < kQuerySecondsBuckets.size(); ++i) {
        cumulative += query.buckets[i];
        char le[32];
        std::snprintf(le, sizeof le, "%g", kQuerySecondsBuckets[i]);
        page.Value(std::string("tipserver_query_duration_seconds_bucket{le=\"") + le + "\"}",
                   static_cast<double>(cumulative));
    }
    cumulative += query.buckets.back();
    page.Value("tipserver_query_duration_seconds_bucket{le=\"+Inf\"}", static_cast<double>(cumulative));
    page.Value("tipserver_query_duration_seconds_sum", static_cast<double>(query.nanoseconds) / 1e9);
    page.Value("tipserver_query_duration_seconds_count", static_cast<double>(cumulative));

    page.Head("tipserver_connections_open", "gauge", "Connections open now, by port.");
    page.Value("tipserver_connections_open{port=\"query\"}", static_cast<double>(sources.tips.OpenConnections()));
    page.Value("tipserver_connections_open{port=\"picture\"}", static_cast<double>(Read(http.open)));
    page.Head("tipserver_connections_refused_total", "counter",
              "Connections refused at the port's cap, or that made way there for a new one.");
    page.Value("tipserver_connections_refused_total{port=\"query\"}", static_cast<double>(query.refused_at_cap));
    page.Value("tipserver_connections_refused_total{port=\"picture\"}", static_cast<double>(Read(http.refused_at_cap)));
    page.One("tipserver_picture_requests_total", "counter", "Requests answered on the picture port.",
             static_cast<double>(Read(http.requests)));
    page.One("tipserver_picture_bytes_sent_total", "counter", "Bytes sent on the picture port.",
             static_cast<double>(Read(http.bytes_sent)));
    page.One("tipserver_picture_connections_dropped_total", "counter",
             "Picture connections dropped as timed out or malformed.", static_cast<double>(Read(http.dropped)));

    page.One("tipserver_catalogue_generation", "gauge", "Catalogues taken since the start, the first included.",
             static_cast<double>(sources.catalogue.Generation()));
    page.One("tipserver_catalogue_loaded_time_seconds", "gauge", "When the catalogue in service was loaded.",
             static_cast<double>(sources.catalogue.LoadedAt()));
    page.One("tipserver_catalogue_load_seconds", "gauge", "How long the last catalogue load took.",
             sources.catalogue.LoadSeconds());
    page.One("tipserver_catalogue_reload_failures_total", "counter", "Catalogue reloads refused.",
             static_cast<double>(sources.catalogue.ReloadFailures()));
    page.One("tipserver_catalogue_refused", "gauge",
             "1 while the catalogue file on disk is refused and the previous one serves.",
             sources.catalogue.Refused() ? 1.0 : 0.0);
    page.One("tipserver_catalogue_unreachable_tips", "gauge",
             "New or changed tips of the last reload that clients which had asked will never get.",
             static_cast<double>(sources.catalogue.UnreachableTips()));
    page.One("tipserver_log_lines_dropped_total", "counter", "Log lines dropped because the log queue was full.",
             static_cast<double>(sources.log.Dropped()));
    page.One("process_start_time_seconds", "gauge", "Start time of the process since unix epoch in seconds.",
             static_cast<double>(sources.start_time));
    return std::move(page.Text());
}

HttpHandler MetricsHandler(const MetricsSources& sources) {
    return [sources](const std::string& path) {
        HttpReply reply;
        if (path != "/metrics") {
            reply.status = 404;
            reply.text = "metrics are at /metrics\n";
            return reply;
        }
        reply.content_type = "text/plain; version=0.0.4; charset=utf-8";
        reply.no_cache = true;
        reply.text = RenderMetrics(sources);
        return reply;
    };
}

}  // namespace tipserver
