#include "platform/file_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "platform/file_io.h"
#include "support/other_program.h"
#include "support/temporary_folder.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;
using testing::Lock_holder;

void write_text(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Replaces the file as a save does, handing the lock from `held` to the new
// file; the old lock goes only after the new file holds one.
int save_over(const fs::path& path, const std::string& text, File_lock& held) {
    Replacing_file_writer writer(path);
    if (writer.open() != Replacing_file_writer::Open_status::ok) {
        return -1;
    }
    File_lock next;
    const int error = writer.write(text) != 0 ? EIO : writer.commit(&next);
    if (error == 0) {
        held = std::move(next);
    }
    return error;
}

TEST(FileLock, LocksOnlyARegularFileThatNoOtherProgramHolds) {
    testing::Temporary_folder dir("corvale-lock");
    write_text(dir / "free", "a");
    write_text(dir / "held", "b");
    write_text(dir / "target", "c");
    fs::create_symlink(dir / "target", dir / "link");
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    Lock_holder other(dir / "held");
    ASSERT_TRUE(other.locked());

    struct Row {
        fs::path path;
        File_lock::Status status;
        const char* why;
    } rows[] = {
        {dir / "free", File_lock::Status::locked, "a file nobody holds"},
        {dir / "held", File_lock::Status::held_elsewhere, "another program holds it"},
        {dir / "link", File_lock::Status::locked, "a link's file is locked"},
        {dir / "missing", File_lock::Status::failed, "no file"},
        {dir / "folder", File_lock::Status::failed, "a folder"},
        {dir / "fifo", File_lock::Status::failed, "a FIFO, without waiting for a writer"},
    };
    for (const Row& row : rows) {
        File_lock lock;
        EXPECT_EQ(lock.lock(row.path), row.status) << row.why;
        EXPECT_EQ(lock.held(), row.status == File_lock::Status::locked) << row.why;
        EXPECT_EQ(lock.covers(row.path), lock.held()) << row.why;
        if (lock.held()) {
            EXPECT_FALSE(Lock_holder(row.path).locked()) << row.why << ": another process waits";
            lock.release();
            EXPECT_TRUE(Lock_holder(row.path).locked()) << row.why << ": free once released";
        }
    }
    File_lock through_link;
    through_link.lock(dir / "link");
    EXPECT_TRUE(through_link.covers(dir / "target"));
    EXPECT_FALSE(through_link.covers(dir / "free"));
}

// The lock passes from the old file to the one that replaces it: another
// program is refused before, during and after the save.
TEST(FileLock, ASaveHandsTheLockToTheNewFile) {
    testing::Temporary_folder dir("corvale-lock");
    const fs::path path = dir / "list";
    write_text(path, "old");
    File_lock held;
    ASSERT_EQ(held.lock(path), File_lock::Status::locked);
    ASSERT_EQ(save_over(path, "new", held), 0);
    EXPECT_EQ(testing::file_bytes(path), "new");
    EXPECT_TRUE(held.covers(path)) << "the new file is the one held";
    EXPECT_FALSE(Lock_holder(path).locked());
    held.release();
    EXPECT_TRUE(Lock_holder(path).locked());

    // A name that was free when the save began, but taken by another program
    // before it ended, keeps that program's file.
    Replacing_file_writer late(dir / "new");
    ASSERT_EQ(late.open(), Replacing_file_writer::Open_status::ok);
    ASSERT_EQ(late.write("mine"), 0);
    write_text(dir / "new", "theirs");
    File_lock unused;
    EXPECT_EQ(late.commit(&unused), EEXIST);
    EXPECT_FALSE(unused.held());
    EXPECT_EQ(testing::file_bytes(dir / "new"), "theirs");
}

// Saves one after another while another program keeps trying to take the
// lock: it must never get it, also not on a file that is being replaced
// (the old file is free for a moment, but its name leads elsewhere by then).
TEST(FileLock, NoLockIsTakenWhileSavesReplaceTheFile) {
    testing::Temporary_folder dir("corvale-lock");
    const fs::path path = dir / "list";
    write_text(path, "0");
    File_lock held;
    ASSERT_EQ(held.lock(path), File_lock::Status::locked);
    std::atomic<bool> saving{true};
    std::atomic<int> failed_saves{0};
    std::thread saver([&] {
        for (int i = 0; i < 300; ++i) {
            failed_saves += save_over(path, std::to_string(i), held) == 0 ? 0 : 1;
        }
        saving = false;
    });
    int taken = 0;
    int tries = 0;
    while (saving) {
        File_lock other;
        taken += other.lock(path) == File_lock::Status::locked ? 1 : 0;
        ++tries;
    }
    saver.join();
    EXPECT_EQ(failed_saves, 0);
    EXPECT_EQ(taken, 0) << "of " << tries << " tries";
    EXPECT_EQ(testing::file_bytes(path), "299");
}

}  // namespace
}  // namespace corvale
