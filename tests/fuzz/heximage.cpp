// A firmware file's Intel HEX content, checked as an image (data in the boot section
// refused) and as a backup (trimmed to the application section), as the firmware update
// checks the file it is about to write.
//
// Promises: a fault names its line (the missing end record names none), a refused image
// names an address in the boot section, and what the check writes for a good file is
// itself a good image that checks to the same bytes again (read(write(read x)) = read x).
// A file good as an image is good as a backup, with the same result.

#include "fuzzcheck.h"

#include "instrument/firmwarefiles.h"

namespace {

using FirmwareFiles::ImageCheck;

ImageCheck checked(const QByteArray &content, bool asBackup) {
    const ImageCheck check = FirmwareFiles::checkImage(content, asBackup);
    switch (check.fault) {
    case ImageCheck::Fault::None: {
        // At worst every byte of the application section alone in a record of 14
        // characters, and the end record.
        FUZZ_CHECK(check.trimmed.size() <= FirmwareFiles::BootSectionStart * 14 + 12);
        const ImageCheck again = FirmwareFiles::checkImage(check.trimmed, false);
        FUZZ_CHECK(again.ok());
        FUZZ_CHECK(again.trimmed == check.trimmed);
        break;
    }
    case ImageCheck::Fault::NoEndRecord:
        FUZZ_CHECK(check.line == 0);
        break;
    case ImageCheck::Fault::InBootSection:
        FUZZ_CHECK(!asBackup);
        FUZZ_CHECK(check.address >= FirmwareFiles::BootSectionStart);
        FUZZ_CHECK(check.line >= 1);
        break;
    default:
        FUZZ_CHECK(check.line >= 1);
        break;
    }
    return check;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray content = fuzzBytes(data, size);
    const ImageCheck image = checked(content, false);
    const ImageCheck backup = checked(content, true);
    if (image.ok())
        FUZZ_CHECK(backup.ok() && backup.trimmed == image.trimmed);
    return 0;
}
