#include "batch/video_encoder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include "output/output_file.h"

struct VideoEncoder {
    std::unique_ptr<kestrane::OutputFile> file;
    int width = 0, height = 0;
    int64_t frames = 0;
    AVFormatContext* format = nullptr;
    AVIOContext* io = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVFilterGraph* graph = nullptr;
    AVFilterContext* source = nullptr;
    AVFilterContext* sink = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* filtered = nullptr;
    AVPacket* packet = nullptr;

    ~VideoEncoder()
    {
        av_packet_free(&packet);
        av_frame_free(&filtered);
        av_frame_free(&picture);
        avfilter_graph_free(&graph);
        avcodec_free_context(&codec);
        if (format) avformat_free_context(format);
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
        // file: destroyed uncommitted, its temporary goes with it.
    }
};

void VideoEncoderClose::operator()(VideoEncoder* encoder) const { delete encoder; }

namespace {

constexpr int IO_BUFFER = 1 << 16;

std::string av_reason(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, text, sizeof text);
    return text;
}

// The muxer writes through the OutputFile's stream: its temporary, in its directory.
int write_bytes(void* opaque, uint8_t* bytes, int size)
{
    std::FILE* f = static_cast<std::FILE*>(opaque);
    if (std::fwrite(bytes, 1, static_cast<size_t>(size), f) != static_cast<size_t>(size))
        return AVERROR(errno ? errno : EIO);
    return size;
}

int64_t seek_bytes(void* opaque, int64_t offset, int whence)
{
    std::FILE* f = static_cast<std::FILE*>(opaque);
    if (whence & AVSEEK_SIZE) return -1;
    whence &= ~AVSEEK_FORCE;
    if (fseeko(f, static_cast<off_t>(offset), whence) != 0) return AVERROR(errno);
    return static_cast<int64_t>(ftello(f));
}

struct Codec {
    const char* muxer;
    const AVCodec* encoder;
    AVPixelFormat pixels;
    const char* filters;
};

Codec codec_for(VideoKind kind)
{
    // Full-range RGB to BT.709 studio range, as players assume for video.
    const char* to_yuv = "scale=out_color_matrix=bt709:out_range=tv:flags=bicubic+accurate_rnd+full_chroma_int,"
                         "format=yuv420p";
    switch (kind) {
    case VideoKind::Mp4: {
        const AVCodec* c = avcodec_find_encoder_by_name("libx264");
        return {"mp4", c ? c : avcodec_find_encoder(AV_CODEC_ID_H264), AV_PIX_FMT_YUV420P, to_yuv};
    }
    case VideoKind::WebM: {
        const AVCodec* c = avcodec_find_encoder_by_name("libvpx-vp9");
        return {"webm", c ? c : avcodec_find_encoder(AV_CODEC_ID_VP9), AV_PIX_FMT_YUV420P, to_yuv};
    }
    case VideoKind::Gif:
        // A palette of its own for each frame, made as the frame comes: no
        // frame waits for the last.
        return {"gif", avcodec_find_encoder(AV_CODEC_ID_GIF), AV_PIX_FMT_PAL8,
                "split[a][b];[a]palettegen=stats_mode=single:reserve_transparent=0[p];"
                "[b][p]paletteuse=new=1:dither=bayer:bayer_scale=3"};
    case VideoKind::None:
        break;
    }
    return {nullptr, nullptr, AV_PIX_FMT_NONE, nullptr};
}

bool open_filters(VideoEncoder& e, const Codec& c, int fps, std::string* error)
{
    e.graph = avfilter_graph_alloc();
    if (!e.graph) return *error = "out of memory", false;
    char args[160];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/%d:pixel_aspect=1/1", e.width,
                  e.height, static_cast<int>(AV_PIX_FMT_RGB24), fps);
    int status = avfilter_graph_create_filter(&e.source, avfilter_get_by_name("buffer"), "in", args, nullptr, e.graph);
    if (status >= 0)
        status = avfilter_graph_create_filter(&e.sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                              e.graph);
    const AVPixelFormat wanted[] = {c.pixels, AV_PIX_FMT_NONE};
    if (status >= 0)
        status = av_opt_set_int_list(e.sink, "pix_fmts", wanted, AV_PIX_FMT_NONE, AV_OPT_SEARCH_CHILDREN);
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    if (status >= 0 && (!outputs || !inputs)) status = AVERROR(ENOMEM);
    if (status >= 0) {
        outputs->name = av_strdup("in");
        outputs->filter_ctx = e.source;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = e.sink;
        status = avfilter_graph_parse_ptr(e.graph, c.filters, &inputs, &outputs, nullptr);
    }
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (status >= 0) status = avfilter_graph_config(e.graph, nullptr);
    if (status < 0) *error = "cannot set up the video filters: " + av_reason(status);
    return status >= 0;
}

bool open_codec(VideoEncoder& e, VideoKind kind, const Codec& c, int fps, std::string* error)
{
    e.codec = avcodec_alloc_context3(c.encoder);
    if (!e.codec) return *error = "out of memory", false;
    e.codec->width = e.width;
    e.codec->height = e.height;
    e.codec->pix_fmt = c.pixels;
    e.codec->time_base = AVRational{1, fps};
    e.codec->framerate = AVRational{fps, 1};
    e.codec->sample_aspect_ratio = AVRational{1, 1};
    if (c.pixels == AV_PIX_FMT_YUV420P) {
        e.codec->color_range = AVCOL_RANGE_MPEG;
        e.codec->colorspace = AVCOL_SPC_BT709;
        e.codec->color_primaries = AVCOL_PRI_BT709;
        e.codec->color_trc = AVCOL_TRC_BT709;
    }
    if (e.format->oformat->flags & AVFMT_GLOBALHEADER) e.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    if (kind == VideoKind::Mp4) {
        av_dict_set(&options, "crf", "20", 0);
        av_dict_set(&options, "preset", "medium", 0);
    } else if (kind == VideoKind::WebM) {
        e.codec->bit_rate = 0;  // constant quality
        av_dict_set(&options, "crf", "32", 0);
        av_dict_set(&options, "deadline", "good", 0);
        av_dict_set(&options, "cpu-used", "4", 0);
        av_dict_set(&options, "row-mt", "1", 0);
    }
    int status = avcodec_open2(e.codec, c.encoder, &options);
    av_dict_free(&options);
    if (status < 0) return *error = std::string("cannot open the ") + c.encoder->name + " encoder: " + av_reason(status), false;
    e.stream = avformat_new_stream(e.format, nullptr);
    if (!e.stream) return *error = "out of memory", false;
    e.stream->time_base = e.codec->time_base;
    status = avcodec_parameters_from_context(e.stream->codecpar, e.codec);
    if (status < 0) return *error = av_reason(status), false;
    return true;
}

// Every packet the encoder has ready, into the file.
bool write_packets(VideoEncoder& e, std::string* error)
{
    for (;;) {
        int status = avcodec_receive_packet(e.codec, e.packet);
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
        if (status < 0) return *error = "cannot encode a frame: " + av_reason(status), false;
        // Encoders with a delay leave it out; the muxer needs it for the
        // last frame (an MP4's edit list, a GIF's last delay).
        if (e.packet->duration <= 0) e.packet->duration = 1;
        av_packet_rescale_ts(e.packet, e.codec->time_base, e.stream->time_base);
        e.packet->stream_index = e.stream->index;
        status = av_interleaved_write_frame(e.format, e.packet);
        if (status < 0) return *error = av_reason(status), false;
    }
}

// Every picture the filters have ready, into the encoder; then, at the end
// (no more pictures), the encoder's last packets.
bool encode_filtered(VideoEncoder& e, bool end, std::string* error)
{
    for (;;) {
        int status = av_buffersink_get_frame(e.sink, e.filtered);
        if (status == AVERROR(EAGAIN)) return true;
        if (status == AVERROR_EOF) break;
        if (status < 0) return *error = "cannot convert a frame: " + av_reason(status), false;
        e.filtered->pts = av_rescale_q(e.filtered->pts, av_buffersink_get_time_base(e.sink), e.codec->time_base);
        e.filtered->pict_type = AV_PICTURE_TYPE_NONE;
        status = avcodec_send_frame(e.codec, e.filtered);
        av_frame_unref(e.filtered);
        if (status < 0) return *error = "cannot encode a frame: " + av_reason(status), false;
        if (!write_packets(e, error)) return false;
    }
    if (!end) return true;
    const int status = avcodec_send_frame(e.codec, nullptr);
    if (status < 0) return *error = "cannot encode a frame: " + av_reason(status), false;
    return write_packets(e, error);
}

}  // namespace

VideoEncoderPtr open_video_encoder(const std::string& name, int width, int height, int fps, std::string* error)
{
    const VideoKind kind = video_kind(name);
    const Codec c = codec_for(kind);
    if (!c.muxer) return *error = "not a video file name (.mp4, .webm or .gif)", nullptr;
    if (!c.encoder) return *error = std::string("FFmpeg here has no encoder for ") + c.muxer, nullptr;
    av_log_set_level(AV_LOG_ERROR);
    VideoEncoderPtr e(new VideoEncoder);
    e->width = width;
    e->height = height;
    e->file = std::make_unique<kestrane::OutputFile>(name);
    if (!e->file->is_open()) return *error = std::strerror(errno), nullptr;
    int status = avformat_alloc_output_context2(&e->format, nullptr, c.muxer, nullptr);
    if (status < 0 || !e->format) return *error = "cannot make the container: " + av_reason(status), nullptr;
    uint8_t* buffer = static_cast<uint8_t*>(av_malloc(IO_BUFFER));
    if (buffer) e->io = avio_alloc_context(buffer, IO_BUFFER, 1, e->file->stream, nullptr, write_bytes, seek_bytes);
    if (!e->io) {
        av_free(buffer);
        return *error = "out of memory", nullptr;
    }
    e->format->pb = e->io;
    e->format->flags |= AVFMT_FLAG_CUSTOM_IO;
    e->picture = av_frame_alloc();
    e->filtered = av_frame_alloc();
    e->packet = av_packet_alloc();
    if (!e->picture || !e->filtered || !e->packet) return *error = "out of memory", nullptr;
    e->picture->format = AV_PIX_FMT_RGB24;
    e->picture->width = width;
    e->picture->height = height;
    status = av_frame_get_buffer(e->picture, 0);
    if (status < 0) return *error = av_reason(status), nullptr;
    if (!open_filters(*e, c, fps, error) || !open_codec(*e, kind, c, fps, error)) return nullptr;
    status = avformat_write_header(e->format, nullptr);
    if (status < 0) return *error = av_reason(status), nullptr;
    return e;
}

bool encode_video_frame(VideoEncoder& e, const uint8_t* rgb, std::string* error)
{
    int status = av_frame_make_writable(e.picture);
    if (status < 0) return *error = av_reason(status), false;
    const size_t row = 3 * static_cast<size_t>(e.width);
    for (int y = 0; y < e.height; ++y)
        std::memcpy(e.picture->data[0] + static_cast<size_t>(y) * e.picture->linesize[0],
                    rgb + static_cast<size_t>(e.height - 1 - y) * row, row);
    e.picture->pts = e.frames;
    status = av_buffersrc_add_frame_flags(e.source, e.picture, AV_BUFFERSRC_FLAG_KEEP_REF);
    if (status < 0) return *error = "cannot convert a frame: " + av_reason(status), false;
    ++e.frames;
    return encode_filtered(e, false, error);
}

bool finish_video_encoder(VideoEncoder& e, std::string* error)
{
    int status = av_buffersrc_add_frame_flags(e.source, nullptr, 0);
    if (status < 0) return *error = av_reason(status), false;
    if (!encode_filtered(e, true, error)) return false;
    status = av_write_trailer(e.format);
    if (status < 0) return *error = av_reason(status), false;
    avio_flush(e.io);
    if (e.io->error < 0) return *error = av_reason(e.io->error), false;
    if (!e.file->commit()) return *error = std::strerror(errno), false;
    return true;
}

int64_t video_frames_encoded(const VideoEncoder& e) { return e.frames; }
