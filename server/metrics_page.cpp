#include "metrics_page.h"

#include <cstdio>

namespace tipserver {
namespace {

class Page {
  public:
    void Head(const char* name, const char* type, const char* help) {
        text_ += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
    }
    // Counts exactly, however large; a double would round them past 2^53.
    void Value(const std::string& name_and_labels, uint64_t value) {
        text_ += name_and_labels + " " + std::to_string(value) + "\n";
    }
    // Seconds with `decimals` places: moments to the millisecond, durations to the microsecond.
    void Seconds(const std::string& name_and_labels, double value, int decimals) {
        char number[48];
        std::snprintf(number, sizeof number, "%.*f", decimals, value);
        text_ += name_and_labels + " " + number + "\n";
    }
    void One(const char* name, const char* type, const char* help, uint64_t value) {
        Head(name, type, help);
        Value(name, value);
    }
    std::string& Text() { return text_; }

  private:
    std::string text_;
};

}  // namespace

std::string RenderMetrics(const MetricsSources& sources) {
    QueryTotals query;
    size_t query_open = 0;
    for (const TipsServer* tips : sources.tips) {
        query += tips->Totals();
        query_open += tips->OpenConnections();
    }
    const HttpCounters& http = sources.pictures.Counters();
    Page page;
    page.Head("tipserver_queries_total", "counter", "Query connections ended, by outcome.");
    for (size_t i = 0; i < kQueryOutcomes; ++i)
        page.Value(
            std::string("tipserver_queries_total{outcome=\"") + QueryOutcomeName(static_cast<QueryOutcome>(i)) + "\"}",
            query.outcomes[i]);
    page.One("tipserver_tips_sent_total", "counter", "Tip records sent in answers.", query.tips_sent);
    page.One("tipserver_answer_bytes_sent_total", "counter", "Bytes of answers sent on the query port.",
             query.bytes_sent);

    page.Head("tipserver_query_duration_seconds", "histogram",
              "Time from accepting a query connection to its answer sent, for answered queries.");
    uint64_t cumulative = 0;
    for (size_t i = 0; i < kQuerySecondsBuckets.size(); ++i) {
        cumulative += query.buckets[i];
        char le[32];
        std::snprintf(le, sizeof le, "%g", kQuerySecondsBuckets[i]);
        page.Value(std::string("tipserver_query_duration_seconds_bucket{le=\"") + le + "\"}", cumulative);
    }
    cumulative += query.buckets.back();
    page.Value("tipserver_query_duration_seconds_bucket{le=\"+Inf\"}", cumulative);
    page.Seconds("tipserver_query_duration_seconds_sum", static_cast<double>(query.nanoseconds) / 1e9, 6);
    page.Value("tipserver_query_duration_seconds_count", cumulative);

    page.Head("tipserver_connections_open", "gauge", "Connections open now, by port.");
    page.Value("tipserver_connections_open{port=\"query\"}", query_open);
    page.Value("tipserver_connections_open{port=\"picture\"}", Read(http.open));
    page.Head("tipserver_connections_refused_total", "counter",
              "Connections refused at the port's cap, or that made way there for a new one.");
    page.Value("tipserver_connections_refused_total{port=\"query\"}", query.refused_at_cap);
    page.Value("tipserver_connections_refused_total{port=\"picture\"}", Read(http.refused_at_cap));
    page.One("tipserver_picture_requests_total", "counter", "Requests answered in full on the picture port.",
             Read(http.requests));
    page.One("tipserver_picture_answers_cut_total", "counter",
             "Picture answers cut before their end: the client stalled past the deadline or left.", Read(http.cut));
    page.One("tipserver_picture_bytes_sent_total", "counter", "Bytes sent on the picture port.", Read(http.bytes_sent));
    page.One("tipserver_picture_connections_dropped_total", "counter",
             "Picture connections dropped as timed out or malformed.", Read(http.dropped));

    page.One("tipserver_catalogue_generation", "gauge", "Catalogues taken since the start, the first included.",
             sources.catalogue.Generation());
    page.Head("tipserver_catalogue_loaded_time_seconds", "gauge", "When the catalogue in service was loaded.");
    page.Seconds("tipserver_catalogue_loaded_time_seconds", sources.catalogue.LoadedAt(), 3);
    page.Head("tipserver_catalogue_load_seconds", "gauge", "How long the last catalogue load took.");
    page.Seconds("tipserver_catalogue_load_seconds", sources.catalogue.LoadSeconds(), 6);
    page.One("tipserver_catalogue_reload_failures_total", "counter", "Catalogue reloads refused.",
             sources.catalogue.ReloadFailures());
    page.One("tipserver_catalogue_refused", "gauge",
             "1 while the catalogue file on disk is refused and the previous one serves.",
             sources.catalogue.Refused() ? 1 : 0);
    page.One("tipserver_catalogue_unreachable_tips", "gauge",
             "New or changed tips of the last reload that clients which had asked will never get.",
             sources.catalogue.UnreachableTips());
    page.One("tipserver_log_lines_dropped_total", "counter", "Log lines dropped because the log queue was full.",
             sources.log.Dropped());
    page.Head("process_start_time_seconds", "gauge", "Start time of the process since unix epoch in seconds.");
    page.Seconds("process_start_time_seconds", sources.start_time, 3);
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
