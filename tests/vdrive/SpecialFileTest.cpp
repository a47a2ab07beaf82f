// A pipe, a folder or a device node named where a disc image's file belongs
// is refused at once with a message naming it: nothing waits for a writer
// that never comes and nothing reads a device without end.
#include "TempDir.h"

#include "vdrive/VirtualDrive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>

using namespace rilvane::vdrive;

namespace {

enum class Kind { Fifo, Folder, Device };
enum class Role { Cue, Bin, Wave, Defects };

struct Case {
    Kind kind;
    Role role;
};

std::string name(const testing::TestParamInfo<Case>& info)
{
    static const char* kinds[] = {"Fifo", "Folder", "Device"};
    static const char* roles[] = {"Cue", "Bin", "Wave", "Defects"};
    return std::string(kinds[int(info.param.kind)]) + "As" + roles[int(info.param.role)];
}

// Puts the special file at dir/name; false when this machine cannot make it.
bool makeSpecial(const TempDir& dir, const std::string& file, Kind kind)
{
    const std::string path = dir.file(file);
    switch (kind) {
    case Kind::Fifo:
        return ::mkfifo(path.c_str(), 0600) == 0;
    case Kind::Folder:
        return std::filesystem::create_directory(path);
    case Kind::Device: {
        // /dev/zero: reading it never ends, so a missing type check shows as
        // a size error or a hang rather than passing by chance.
        std::error_code ec;
        std::filesystem::create_symlink("/dev/zero", path, ec);
        return !ec;
    }
    }
    return false;
}

class SpecialFile : public testing::TestWithParam<Case> {};

}  // namespace

TEST_P(SpecialFile, IsRefusedAtOnceNamingTheFile)
{
    const Case c = GetParam();
    TempDir dir;
    dir.write("a.bin", std::string(4 * 2352, '\0'));
    std::string cue = dir.file("disc.cue");
    std::string defects;
    std::string special;
    switch (c.role) {
    case Role::Cue:
        special = "disc.cue";
        break;
    case Role::Bin:
        special = "b.bin";
        dir.write("disc.cue", "FILE \"b.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
        break;
    case Role::Wave:
        special = "b.wav";
        dir.write("disc.cue", "FILE \"b.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
        break;
    case Role::Defects:
        special = "disc.defects";
        dir.write("disc.cue", "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
        defects = dir.file(special);
        break;
    }
    ASSERT_TRUE(makeSpecial(dir, special, c.kind));

    std::string error;
    EXPECT_FALSE(VirtualDrive::load(cue, defects, error));
    EXPECT_NE(error.find(dir.file(special)), std::string::npos) << error;
    const bool folder = error.find("is a folder") != std::string::npos;
    const bool notRegular = error.find("not a regular file") != std::string::npos;
    EXPECT_TRUE(c.kind == Kind::Folder ? folder || notRegular : notRegular) << error;
}

INSTANTIATE_TEST_SUITE_P(AllKinds, SpecialFile,
                         testing::Values(Case{Kind::Fifo, Role::Cue}, Case{Kind::Fifo, Role::Bin},
                                         Case{Kind::Fifo, Role::Wave}, Case{Kind::Fifo, Role::Defects},
                                         Case{Kind::Folder, Role::Cue}, Case{Kind::Folder, Role::Bin},
                                         Case{Kind::Folder, Role::Wave}, Case{Kind::Folder, Role::Defects},
                                         Case{Kind::Device, Role::Cue}, Case{Kind::Device, Role::Bin},
                                         Case{Kind::Device, Role::Wave}, Case{Kind::Device, Role::Defects}),
                         name);
