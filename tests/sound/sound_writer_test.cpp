#include "sound/sound_writer.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

// Every type at every width: the samples come back from libsndfile as stored, rounded to the
// width, and the file's type is the one its extension asks for.
TEST(SoundWriter, WritesEachTypeAndWidthExactly) {
    ScratchDir dir;
    const std::vector<double> samples = {0.0, 0.5, -0.5, 1.0, -1.0, 2.0, 100.4 / 128, -3.0 / 128};
    const std::pair<const char*, int> types[] = {
        {"a.wav", SF_FORMAT_WAV}, {"b.FLAC", SF_FORMAT_FLAC}, {"c.aiff", SF_FORMAT_AIFF}};
    for (const auto& [name, container] : types) {
        for (const int bits : {8, 16, 24}) {
            SoundFileType type;
            ASSERT_TRUE(sound_file_type_of(name, type));
            SoundWriter writer;
            ASSERT_EQ(open_sound_writer(writer, dir / name, type, 22050, bits),
                      SoundWriteError::none);
            EXPECT_TRUE(write_sound_samples(writer, samples.data(), samples.size()));
            ASSERT_EQ(close_sound_writer(writer), SoundWriteError::none);

            SF_INFO info{};
            SNDFILE* in = sf_open((dir / name).c_str(), SFM_READ, &info);
            ASSERT_NE(in, nullptr) << name;
            EXPECT_EQ(info.format, sound_file_format(type, bits)) << name;
            EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, container);
            EXPECT_EQ(info.samplerate, 22050);
            std::vector<int> back(samples.size() + 1);
            ASSERT_EQ(sf_read_int(in, back.data(), static_cast<sf_count_t>(back.size())),
                      static_cast<sf_count_t>(samples.size()));
            sf_close(in);
            const long full = 1L << (bits - 1);
            const long rounded = bits == 8 ? 100 : (bits == 16 ? 25702 : 6579814); // 100.4
            const long expected[] = {0,     full / 2, -full / 2, full - 1,
                                     -full, full - 1, rounded,   -3 * full / 128};
            for (std::size_t i = 0; i < samples.size(); ++i) {
                EXPECT_EQ(back[i] >> (32 - bits), expected[i]) << name << " " << bits << " " << i;
            }
        }
    }
    SoundFileType type;
    EXPECT_FALSE(sound_file_type_of("out.raw", type));
    EXPECT_FALSE(sound_file_type_of("wav", type));
}

TEST(SoundWriter, AFailedWriteIsReportedAndLeavesTheOldFile) {
    ScratchDir dir;
    write_text(dir / "kept.wav", "old");
    SoundWriter writer;
    EXPECT_EQ(open_sound_writer(writer, dir / "kept.wav", SoundFileType::wav, 8000, 12),
              SoundWriteError::bad_format);
    EXPECT_EQ(open_sound_writer(writer, dir / "missing/x.wav", SoundFileType::wav, 8000, 16),
              SoundWriteError::no_create);
    ASSERT_EQ(open_sound_writer(writer, "/dev/full", SoundFileType::flac, 8000, 16),
              SoundWriteError::none);
    const std::vector<double> samples(100000, 0.25);
    write_sound_samples(writer, samples.data(), samples.size());
    EXPECT_EQ(close_sound_writer(writer), SoundWriteError::failed);
    EXPECT_EQ(read_text(dir / "kept.wav"), "old");
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"kept.wav"});
}

// The 32-bit sizes of WAV and AIFF headers: a WAV file's RIFF size counts 36 bytes of header,
// the data and the pad byte of an odd data size.
TEST(SoundWriter, KnowsHowManySamplesEachTypeHolds) {
    EXPECT_TRUE(sound_file_holds(SoundFileType::wav, 8, 0xFFFFFFFFll - 36 - 1)); // with its pad
    EXPECT_FALSE(sound_file_holds(SoundFileType::wav, 8, 0xFFFFFFFFll - 36));
    EXPECT_TRUE(sound_file_holds(SoundFileType::wav, 16, (0xFFFFFFFFll - 36) / 2 - 1));
    EXPECT_FALSE(sound_file_holds(SoundFileType::wav, 24, 0x80000000ll));
    EXPECT_FALSE(sound_file_holds(SoundFileType::aiff, 16, 0x80000000ll));
    EXPECT_TRUE(sound_file_holds(SoundFileType::flac, 24, 0x80000000ll));
    EXPECT_FALSE(sound_file_holds(SoundFileType::flac, 8, -1));
}
