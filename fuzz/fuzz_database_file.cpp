// Whole database files through DecryptStream and ReadDatabase. The first input byte
// chooses what the rest is:
//   even: the file's bytes as they are (mostly wrong-password and decryption paths);
//   odd:  a plaintext that is encrypted under the fuzzing password first, with the
//         next four bytes as the length field, so that the marker is reached and the
//         reader's damaged-plaintext handling is exercised.
// The file is read both from memory and through the file system (a memfd), and both
// must agree; a failed read must leave the model untouched.
#include "database/database_file.h"
#include "database/file_encryption.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr const char* Password = "fuzz";

int MemoryFile() {
    static const int fd = memfd_create("tallykey-fuzz", MFD_CLOEXEC);
    return fd;
}

std::string Snapshot(const tallykey::TDatabase& db) {
    std::string s = tallykey::BuildPlaintext(db);
    s += std::to_string(db.Groups.size());
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    std::string file;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    if ((data[0] & 1) == 0) {
        file = rest;
    } else {
        if (rest.size() < 4)
            return 0;
        tallykey::MemoryStream plain(rest.substr(4)), out;
        out.Write(rest.data(), 4); // the length field as given, true or not
        tallykey::EncryptStream(plain, 0, tallykey::DatabaseKey(Password), out);
        file = out.Take();
    }

    // The stream operation by itself: a decryption of the blocks or its one error.
    {
        tallykey::MemoryStream in(file), out;
        in.Seek(file.size() >= 4 ? 4 : file.size());
        try {
            tallykey::DecryptStream(in, in.Size(), tallykey::DatabaseKey(Password), out);
            if (out.Size() != (file.size() >= 4 ? file.size() - 4 : 0))
                std::abort();
        } catch (const tallykey::StreamError&) {
            if (file.size() >= 4 && (file.size() - 4) % 16 == 0)
                std::abort();
        }
    }

    tallykey::TDatabase fromMemory;
    tallykey::AppendGroup(fromMemory, "untouched", 1);
    const std::string before = Snapshot(fromMemory);
    const tallykey::ReadResult m = tallykey::ReadDatabaseBytes(fromMemory, Password, file);
    if (!m.ok() && Snapshot(fromMemory) != before)
        std::abort();

    const int fd = MemoryFile();
    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        pwrite(fd, file.data(), file.size(), 0) != static_cast<ssize_t>(file.size()))
        return 0;
    tallykey::TDatabase fromFile;
    tallykey::AppendGroup(fromFile, "untouched", 1);
    const tallykey::ReadResult f =
        tallykey::ReadDatabase(fromFile, Password, "/proc/self/fd/" + std::to_string(fd));
    if (f.status != m.status || f.message != m.message || Snapshot(fromFile) != Snapshot(fromMemory))
        std::abort();
    return 0;
}
