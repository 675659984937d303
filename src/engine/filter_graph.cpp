// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/filter_graph.h"

namespace morvane {

namespace {

struct FilterInOutFreer {
    void operator()(AVFilterInOut* inout) const { avfilter_inout_free(&inout); }
};
using FilterInOutPtr = std::unique_ptr<AVFilterInOut, FilterInOutFreer>;

} // namespace

int FilterGraph::configure(const char* source_name, const std::string& source_arguments,
                           const std::string& chain, int threads) {
    graph_.reset();
    source_ = sink_ = nullptr;
    FilterGraphPtr graph(avfilter_graph_alloc());
    if (!graph) {
        return AVERROR(ENOMEM);
    }
    graph->nb_threads = threads;
    const bool video = std::string(source_name) == "buffer";
    AVFilterContext* source = nullptr;
    AVFilterContext* sink = nullptr;
    int result = avfilter_graph_create_filter(&source, avfilter_get_by_name(source_name), "in",
                                              source_arguments.c_str(), nullptr, graph.get());
    if (result < 0) {
        return result;
    }
    result = avfilter_graph_create_filter(
        &sink, avfilter_get_by_name(video ? "buffersink" : "abuffersink"), "out", nullptr, nullptr,
        graph.get());
    if (result < 0) {
        return result;
    }
    // The chain's open ends: its input is fed by the source, its output feeds the sink.
    FilterInOutPtr outputs(avfilter_inout_alloc());
    FilterInOutPtr inputs(avfilter_inout_alloc());
    if (!outputs || !inputs) {
        return AVERROR(ENOMEM);
    }
    outputs->name = av_strdup("in");
    outputs->filter_ctx = source;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink;
    if (outputs->name == nullptr || inputs->name == nullptr) {
        return AVERROR(ENOMEM);
    }
    AVFilterInOut* raw_inputs = inputs.release();
    AVFilterInOut* raw_outputs = outputs.release();
    result =
        avfilter_graph_parse_ptr(graph.get(), chain.c_str(), &raw_inputs, &raw_outputs, nullptr);
    avfilter_inout_free(&raw_inputs);
    avfilter_inout_free(&raw_outputs);
    if (result < 0) {
        return result;
    }
    result = avfilter_graph_config(graph.get(), nullptr);
    if (result < 0) {
        return result;
    }
    graph_ = std::move(graph);
    source_ = source;
    sink_ = sink;
    return 0;
}

} // namespace morvane
