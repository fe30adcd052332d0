#include "MovieWriter.h"

#include "media/MediaTypes.h"
#include "media/ffmpeg/FFmpegIO.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace mv {

namespace {

using ff::detail::FramePtr;

enum class Container { Mp4, Avi, Mp3, None };

Container containerOf(const std::string &path)
{
    const auto dot = path.rfind('.');
    if (dot == std::string::npos)
        return Container::None;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
    if (ext == "mp4")
        return Container::Mp4;
    if (ext == "avi")
        return Container::Avi;
    if (ext == "mp3")
        return Container::Mp3;
    return Container::None;
}

// "title:<a>;comment:<b>" into the container's metadata.
void applyMetadata(AVFormatContext *fmt, const std::string &text)
{
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(";comment:", pos);
        const bool last = end == std::string::npos;
        const std::string item = text.substr(pos, last ? std::string::npos : end - pos);
        const auto colon = item.find(':');
        if (colon != std::string::npos && colon + 1 < item.size())
            av_dict_set(&fmt->metadata, item.substr(0, colon).c_str(),
                        item.substr(colon + 1).c_str(), 0);
        if (last)
            break;
        pos = end + 1;
    }
}

} // namespace

struct Movie {
    AVFormatContext *fmt = nullptr;
    std::mutex muxMutex; // the muxer is shared by the picture and the sound threads

    // picture
    std::mutex videoMutex;
    AVCodecContext *venc = nullptr;
    AVStream *vstream = nullptr;
    AVFrame *vframe = nullptr;
    AVFrame *staging = nullptr; // the caller's picture, copied aligned and padded
    ff::detail::ConverterPtr sws;
    int swsWidth = 0, swsHeight = 0;
    int matrix = SWS_CS_ITU601;
    int64_t lastVideoPts = -1;
    int frameRate = 25;
    // Playback speed of the result: timestamps are divided by it, and the sound is
    // resampled by it (faster sound is higher, as on tape).
    double speed = 1.0;

    // sound
    std::mutex audioMutex;
    AVCodecContext *aenc = nullptr;
    AVStream *astream = nullptr;
    SwrContext *swr = nullptr;
    AVAudioFifo *fifo = nullptr;
    AVFrame *aframe = nullptr;
    int channels = 2;
    int rate = 44100;
    int64_t nextInputSample = -1; // where the next pushed sample belongs
    int64_t encodedSamples = 0;   // samples handed to the encoder so far
    // Added to the sound's time stamps. AVI cannot mark the encoder's priming
    // samples, and plays its sound from the first byte whatever the stamps say;
    // stamped from 0 there, the muxer does not shift every stream to make room for
    // negative times, which delayed all pictures but the first by one frame (an
    // extra frame in the file).
    int64_t audioStampLead = 0;

    AVPacket *vpkt = av_packet_alloc();
    AVPacket *apkt = av_packet_alloc();

    ~Movie()
    {
        avcodec_free_context(&venc);
        avcodec_free_context(&aenc);
        av_frame_free(&vframe);
        av_frame_free(&staging);
        av_frame_free(&aframe);
        swr_free(&swr);
        if (fifo)
            av_audio_fifo_free(fifo);
        av_packet_free(&vpkt);
        av_packet_free(&apkt);
        if (fmt) {
            if (fmt->pb)
                avio_closep(&fmt->pb);
            avformat_free_context(fmt);
        }
    }

    // Sends one frame (or null to flush) and writes every packet that comes out.
    bool encode(AVCodecContext *enc, AVStream *st, AVFrame *frame, AVPacket *pkt)
    {
        if (avcodec_send_frame(enc, frame) < 0)
            return false;
        for (;;) {
            const int rc = avcodec_receive_packet(enc, pkt);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
                return true;
            if (rc < 0)
                return false;
            if (enc == aenc && audioStampLead) {
                pkt->pts += audioStampLead;
                pkt->dts += audioStampLead;
            }
            av_packet_rescale_ts(pkt, enc->time_base, st->time_base);
            pkt->stream_index = st->index;
            std::lock_guard<std::mutex> lock(muxMutex);
            // A write the file refused (a full disk) shows in the output's error.
            if (av_interleaved_write_frame(fmt, pkt) < 0 || (fmt->pb && fmt->pb->error < 0))
                return false;
        }
    }

    // RGBA of `width` × `height` into the encoder's YUV: full-range RGB into the
    // limited range of the tag's matrix, in slices on every core (the encoder waits
    // for it). Chroma is taken at every pixel, then averaged down over its own pixels
    // (area): as sharp as averaging pairs directly, and twice as fast (that path has
    // SIMD for RGBA; a bilinear filter there would bleed colour into thin lines).
    bool ensureConverter(int width, int height)
    {
        if (sws && swsWidth == width && swsHeight == height)
            return true;
        sws = ff::detail::makeConverter(width, height, AV_PIX_FMT_RGBA, venc->width, venc->height,
                                        AV_PIX_FMT_YUV420P, SWS_AREA | SWS_FULL_CHR_H_INP, matrix,
                                        false);
        swsWidth = width;
        swsHeight = height;
        return sws != nullptr;
    }

    bool convert(const uint8_t *pixels, int stride, int width, int height)
    {
        // Wrapped, not owned: the caller keeps the pixels until this returns.
        FramePtr source = ff::detail::wrapPicture(pixels, stride, width, height, AV_PIX_FMT_RGBA);
        return source && sws_scale_frame(sws.get(), vframe, source.get()) >= 0;
    }

    bool setUpVideo(const MVSettings &s, Container c)
    {
        const AVCodec *codec =
            avcodec_find_encoder_by_name(c == Container::Mp4 ? "libx264" : "mpeg4");
        if (!codec)
            return false;
        venc = avcodec_alloc_context3(codec);
        frameRate = s.frameRate > 0 ? s.frameRate : 25;
        venc->width = std::max(2, s.width & ~1); // 4:2:0 needs even sizes
        venc->height = std::max(2, s.height & ~1);
        venc->pix_fmt = AV_PIX_FMT_YUV420P;
        // Tagged, so players need not guess: BT.709 from HD up, BT.601 below, limited
        // range; the conversion below uses the same matrix.
        const bool hd = ff::detail::isHd(venc->width, venc->height);
        venc->color_range = AVCOL_RANGE_MPEG;
        venc->colorspace = hd ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
        venc->color_primaries = hd                    ? AVCOL_PRI_BT709
                                : venc->height == 576 ? AVCOL_PRI_BT470BG
                                                      : AVCOL_PRI_SMPTE170M;
        venc->color_trc = hd ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
        matrix = hd ? SWS_CS_ITU709 : SWS_CS_ITU601;
        venc->time_base = AVRational{1, frameRate};
        venc->framerate = AVRational{frameRate, 1};
        venc->gop_size = s.keyInterval > 0 ? s.keyInterval : frameRate;
        venc->thread_count = 0;
        const bool smallSize = s.keyInterval == 120;
        if (s.bitRate > 0) {
            venc->bit_rate = int64_t(s.bitRate) * 1000;
            venc->rc_max_rate = venc->bit_rate * 3 / 2;
            venc->rc_buffer_size = int(venc->bit_rate * 2);
        }
        if (c == Container::Mp4) {
            av_opt_set(venc->priv_data, "preset", "veryfast", 0);
            if (s.bitRate <= 0)
                av_opt_set(venc->priv_data, "crf", smallSize ? "28" : "20", 0);
        } else if (s.bitRate <= 0) {
            venc->flags |= AV_CODEC_FLAG_QSCALE;
            venc->global_quality = FF_QP2LAMBDA * (smallSize ? 8 : 3);
        }
        if (fmt->oformat->flags & AVFMT_GLOBALHEADER)
            venc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(venc, codec, nullptr) < 0)
            return false;
        vstream = avformat_new_stream(fmt, nullptr);
        if (!vstream || avcodec_parameters_from_context(vstream->codecpar, venc) < 0)
            return false;
        vstream->time_base = venc->time_base;
        vstream->avg_frame_rate = venc->framerate;
        vframe = av_frame_alloc();
        vframe->format = venc->pix_fmt;
        vframe->width = venc->width;
        vframe->height = venc->height;
        return av_frame_get_buffer(vframe, 0) >= 0;
    }

    bool setUpAudio(const MVSettings &s, Container c)
    {
        const AVCodec *codec =
            avcodec_find_encoder_by_name(c == Container::Mp4 ? "aac" : "libmp3lame");
        if (!codec)
            return false;
        aenc = avcodec_alloc_context3(codec);
        channels = std::clamp(s.channels, 1, 2);
        rate = s.sampleRate > 0 ? int(s.sampleRate) : 44100;
        aenc->sample_rate = rate;
        av_channel_layout_default(&aenc->ch_layout, channels);
        aenc->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
        aenc->bit_rate = 192000;
        aenc->time_base = AVRational{1, rate};
        if (fmt->oformat->flags & AVFMT_GLOBALHEADER)
            aenc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(aenc, codec, nullptr) < 0)
            return false;
        astream = avformat_new_stream(fmt, nullptr);
        if (!astream || avcodec_parameters_from_context(astream->codecpar, aenc) < 0)
            return false;
        astream->time_base = aenc->time_base;
        if (c == Container::Avi)
            audioStampLead = std::max(0, aenc->initial_padding);

        AVChannelLayout layout;
        av_channel_layout_default(&layout, channels);
        const int rc =
            swr_alloc_set_opts2(&swr, &layout, aenc->sample_fmt, rate, &layout, AV_SAMPLE_FMT_S16,
                                int(std::lround(rate * speed)), 0, nullptr);
        av_channel_layout_uninit(&layout);
        if (rc < 0 || swr_init(swr) < 0)
            return false;
        const int frameSize = aenc->frame_size > 0 ? aenc->frame_size : 1152;
        fifo = av_audio_fifo_alloc(aenc->sample_fmt, channels, frameSize * 4);
        aframe = av_frame_alloc();
        aframe->format = aenc->sample_fmt;
        av_channel_layout_copy(&aframe->ch_layout, &aenc->ch_layout);
        aframe->sample_rate = rate;
        aframe->nb_samples = frameSize;
        return fifo && av_frame_get_buffer(aframe, 0) >= 0;
    }

    // Encodes whole encoder frames from the FIFO. With `flush` the remainder goes
    // too: as a short last frame where the encoder takes one (AAC, MP3; the encoder
    // then records the exact length, so the sound ends with the timeline), else
    // padded with silence to a whole frame. No sound is ever dropped.
    bool drainAudio(bool flush)
    {
        const int frameSize = aframe->nb_samples;
        bool ok = true;
        while (av_audio_fifo_size(fifo) >= frameSize || (flush && av_audio_fifo_size(fifo) > 0)) {
            const int n = std::min(frameSize, av_audio_fifo_size(fifo));
            AVFrame *frame = aframe;
            FramePtr tail;
            if (n < frameSize && (aenc->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME)) {
                tail.reset(av_frame_alloc());
                if (!tail)
                    return false;
                tail->format = aframe->format;
                av_channel_layout_copy(&tail->ch_layout, &aframe->ch_layout);
                tail->sample_rate = aframe->sample_rate;
                tail->nb_samples = n;
                if (av_frame_get_buffer(tail.get(), 0) < 0)
                    return false;
                frame = tail.get();
            } else if (av_frame_make_writable(aframe) < 0) {
                return false;
            }
            av_audio_fifo_read(fifo, reinterpret_cast<void **>(frame->data), n);
            if (n < frame->nb_samples)
                av_samples_set_silence(frame->data, n, frame->nb_samples - n, channels,
                                       AVSampleFormat(frame->format));
            frame->pts = encodedSamples;
            encodedSamples += frame->nb_samples;
            ok = encode(aenc, astream, frame, apkt) && ok;
        }
        return ok;
    }

    bool appendSilence(int64_t samples)
    {
        std::vector<int16_t> zeros(size_t(std::min<int64_t>(samples, rate)) * size_t(channels), 0);
        while (samples > 0) {
            const int n = int(std::min<int64_t>(samples, rate));
            if (!appendPcm(reinterpret_cast<const uint8_t *>(zeros.data()), n))
                return false;
            samples -= n;
        }
        return true;
    }

    bool appendPcm(const uint8_t *pcm, int samples)
    {
        const int room = swr_get_out_samples(swr, samples);
        uint8_t **converted = nullptr;
        if (av_samples_alloc_array_and_samples(&converted, nullptr, channels, room,
                                               aenc->sample_fmt, 0) < 0)
            return false;
        const uint8_t *in[1] = {pcm};
        const int got = swr_convert(swr, converted, room, in, samples);
        if (got > 0)
            av_audio_fifo_write(fifo, reinterpret_cast<void **>(converted), got);
        av_freep(&converted[0]);
        av_freep(&converted);
        return got >= 0;
    }
};

MovieHandle create_movie(const MVSettings &settings, const char *path)
{
    if (!path || !*path)
        return nullptr;
    ff::detail::quietLogs();
    const Container container = containerOf(path);
    if (container == Container::None)
        return nullptr;
    auto movie = std::make_unique<Movie>();
    // A speed outside a sensible range (or unset) plays as recorded.
    movie->speed = settings.speed >= 0.1 && settings.speed <= 10 ? settings.speed : 1.0;
    const char *formatName = container == Container::Mp4   ? "mp4"
                             : container == Container::Avi ? "avi"
                                                           : "mp3";
    if (avformat_alloc_output_context2(&movie->fmt, nullptr, formatName, path) < 0 || !movie->fmt)
        return nullptr;
    const bool audioOnly = settings.audioOnly || container == Container::Mp3;
    if (!audioOnly && !movie->setUpVideo(settings, container))
        return nullptr;
    if (!movie->setUpAudio(settings, container))
        return nullptr;
    applyMetadata(movie->fmt, settings.metadata);
    if (avio_open(&movie->fmt->pb, path, AVIO_FLAG_WRITE) < 0)
        return nullptr;
    AVDictionary *opts = nullptr;
    if (container == Container::Mp4) {
        av_dict_set(&opts, "movflags", "+faststart", 0);
        // Edit lists count in the movie's time scale: in samples, the sound's length
        // is kept to the sample (in milliseconds it would lose up to 44 samples).
        av_dict_set_int(&opts, "movie_timescale", movie->rate, 0);
    }
    const int rc = avformat_write_header(movie->fmt, &opts);
    av_dict_free(&opts);
    if (rc < 0)
        return nullptr;
    return movie.release();
}

namespace {

// Encodes the picture in m->vframe, placed at `pts` (microseconds); under videoMutex.
bool encodePicture(MovieHandle m, int64_t pts)
{
    int64_t framePts =
        av_rescale_rnd(int64_t(double(pts) / m->speed), m->frameRate, 1000000, AV_ROUND_NEAR_INF);
    if (framePts <= m->lastVideoPts)
        framePts = m->lastVideoPts + 1; // timestamps must grow
    m->lastVideoPts = framePts;
    m->vframe->pts = framePts;
    return m->encode(m->venc, m->vstream, m->vframe, m->vpkt);
}

bool pushImage(MovieHandle m, const uint8_t *pixels, size_t bytes, int stride, int64_t pts,
               int ptsType, bool padded)
{
    if (!m || !m->venc || !pixels || stride <= 0 || ptsType != PTS_MICROSECONDS)
        return false;
    const int height = int(bytes / size_t(stride));
    const int width = stride / 4;
    if (height <= 0 || width <= 0)
        return false;
    std::lock_guard<std::mutex> lock(m->videoMutex);
    if (!m->ensureConverter(width, height) || av_frame_make_writable(m->vframe) < 0)
        return false;
    // The converter reads whole SIMD blocks, past the end of the caller's last row; a
    // copy into a padded frame of ours keeps those reads inside memory we own, unless
    // the caller's buffer is aligned and padded already.
    const bool aligned = padded && reinterpret_cast<uintptr_t>(pixels) % ff::kBufferAlign == 0 &&
                         stride % int(ff::kBufferAlign) == 0;
    const uint8_t *source = pixels;
    int sourceStride = stride;
    if (!aligned) {
        if (!m->staging || m->staging->width != width || m->staging->height != height) {
            av_frame_free(&m->staging);
            m->staging = av_frame_alloc();
            if (!m->staging)
                return false;
            m->staging->format = AV_PIX_FMT_RGBA;
            m->staging->width = width;
            m->staging->height = height;
            if (av_frame_get_buffer(m->staging, 64) < 0) {
                av_frame_free(&m->staging);
                return false;
            }
        }
        av_image_copy_plane(m->staging->data[0], m->staging->linesize[0], pixels, stride, width * 4,
                            height);
        source = m->staging->data[0];
        sourceStride = m->staging->linesize[0];
    }
    if (!m->convert(source, sourceStride, width, height))
        return false;
    return encodePicture(m, pts);
}

} // namespace

bool push_image_frame(MovieHandle m, const uint8_t *pixels, size_t bytes, int stride, int64_t pts,
                      int ptsType)
{
    return pushImage(m, pixels, bytes, stride, pts, ptsType, false);
}

bool push_padded_image_frame(MovieHandle m, const uint8_t *pixels, size_t bytes, int stride,
                             int64_t pts, int ptsType)
{
    return pushImage(m, pixels, bytes, stride, pts, ptsType, true);
}

int picture_matrix(MovieHandle m)
{
    if (!m || !m->venc)
        return 0;
    return m->matrix == SWS_CS_ITU709 ? 709 : 601;
}

bool push_yuv_frame(MovieHandle m, const uint8_t *const planes[3], const int strides[3], int width,
                    int height, int64_t pts, int ptsType)
{
    if (!m || !m->venc || !planes || !strides || ptsType != PTS_MICROSECONDS ||
        width != m->venc->width || height != m->venc->height ||
        m->venc->pix_fmt != AV_PIX_FMT_YUV420P)
        return false;
    std::lock_guard<std::mutex> lock(m->videoMutex);
    if (av_frame_make_writable(m->vframe) < 0)
        return false;
    av_image_copy(m->vframe->data, m->vframe->linesize, const_cast<const uint8_t **>(planes),
                  strides, AV_PIX_FMT_YUV420P, width, height);
    return encodePicture(m, pts);
}

bool push_pcm_frame(MovieHandle m, const uint8_t *pcm, size_t bytes, int64_t pts, int ptsType)
{
    if (!m || !m->aenc || !pcm || ptsType != PTS_MICROSECONDS)
        return false;
    const int samples = int(bytes / (sizeof(int16_t) * size_t(m->channels)));
    if (samples <= 0)
        return false;
    std::lock_guard<std::mutex> lock(m->audioMutex);
    const int64_t at = av_rescale_rnd(pts, m->rate, 1000000, AV_ROUND_NEAR_INF);
    if (m->nextInputSample < 0)
        m->nextInputSample = 0; // the sound starts with the movie
    // A later start than expected leaves silence; an earlier one overlaps and is kept
    // in order, so the sound never runs backwards.
    if (at > m->nextInputSample && !m->appendSilence(at - m->nextInputSample))
        return false;
    if (at > m->nextInputSample)
        m->nextInputSample = at;
    if (!m->appendPcm(pcm, samples))
        return false;
    m->nextInputSample += samples;
    return m->drainAudio(false);
}

bool stop_movie(MovieHandle *handle)
{
    if (!handle || !*handle)
        return false;
    Movie *m = *handle;
    *handle = nullptr;
    bool ok = true;
    if (m->aenc) {
        std::lock_guard<std::mutex> lock(m->audioMutex);
        // A file without any sound frame is not readable as a sound file.
        if (m->encodedSamples == 0 && av_audio_fifo_size(m->fifo) < m->aframe->nb_samples)
            m->appendSilence(m->aframe->nb_samples - av_audio_fifo_size(m->fifo));
        ok = m->drainAudio(true) && ok;
        ok = m->encode(m->aenc, m->astream, nullptr, m->apkt) && ok;
    }
    if (m->venc) {
        std::lock_guard<std::mutex> lock(m->videoMutex);
        ok = m->encode(m->venc, m->vstream, nullptr, m->vpkt) && ok;
    }
    {
        std::lock_guard<std::mutex> lock(m->muxMutex);
        ok = av_write_trailer(m->fmt) >= 0 && ok;
    }
    delete m;
    return ok;
}

} // namespace mv
