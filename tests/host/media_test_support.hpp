#pragma once
// For the tests of songs and videos: a short synthetic song written as a WAV file, and what ffprobe
// says about a video.

#include <map>
#include <string>
#include <vector>

#include "apehost_audio/audio_buffer.hpp"
#include "host_test_support.hpp"

namespace hosttest {

// seconds of stereo sound at 44.1 kHz: a kick every half second on both channels, over a 220 Hz
// tone on the left and a 660 Hz tone on the right (so a channel swap shows).
apehost::audio::AudioBuffer synthetic_song(double seconds);
void write_song(const std::string& path, double seconds);
// The same song as FLAC with a stretch of garbage in its middle: it opens and decodes to about
// the middle, then libsndfile's decoder fails ("lost sync").
void write_broken_flac(const std::string& path, double seconds);

// One map per stream, in file order: codec_type, codec_name, width, height, pix_fmt, nb_frames,
// duration. Empty when ffprobe cannot read the file.
std::vector<std::map<std::string, std::string>> probe_streams(const std::string& path);

// Frame index of a video as a decoded image (through ffmpeg and a PNG).
DecodedPng video_frame(const std::string& video, int index, const std::string& scratch_png);

}  // namespace hosttest
