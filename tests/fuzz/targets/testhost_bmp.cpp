// The test host's BMP reader: any file is an image or an error, an image has exactly the
// pixels its size needs, and writing it and reading it back gives it again.
#include <string>
#include <vector>

#include "bmp_image.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    const std::vector<std::uint8_t> file(Data, Data + Size);
    HostImage image;
    std::string error;
    if (!ReadBmp(file, image, error)) {
        FUZZ_EXPECT(!error.empty(), "a refused file without a reason");
        return 0;
    }
    FUZZ_EXPECT(image.Width > 0 && image.Height > 0 && image.Width <= 32767 && image.Height <= 32767,
                "size " + std::to_string(image.Width) + "x" + std::to_string(image.Height));
    FUZZ_EXPECT(image.Channels == 1 || image.Channels == 3, "channels " + std::to_string(image.Channels));
    FUZZ_EXPECT(image.Pixels.size() == static_cast<std::size_t>(image.Width) * image.Height * image.Channels,
                "pixel count does not match the size");
    HostImage again;
    FUZZ_EXPECT(ReadBmp(WriteBmp(image), again, error), "its own output refused: " + error);
    FUZZ_EXPECT(again.Width == image.Width && again.Height == image.Height && again.Channels == image.Channels &&
                    again.Pixels == image.Pixels,
                "written and read back it differs");
    return 0;
}
