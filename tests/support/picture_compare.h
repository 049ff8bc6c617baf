// Pictures compared pixel by pixel with ImageMagick's compare, for the tests
// that hold a frame against a reference or two screenshots against each
// other. A comparison that cannot be made is an error, never "no pixels
// differ".
#ifndef FIREFLIES_TEST_PICTURE_COMPARE_H
#define FIREFLIES_TEST_PICTURE_COMPARE_H

#include <string>

// The number of pixels of pictures a and b (files ImageMagick reads) whose
// colours differ by more than fuzzPercent of full scale, as
// `compare -metric AE -fuzz fuzzPercent%` counts them; the difference
// picture is written to diff ("null:" for none). -1 when the count could not
// be had: a picture missing or unreadable, pictures of different sizes, or
// compare failing or saying something other than a count. *why (when not
// null) then says why, or what compare said.
long differingPixels(const std::string& a, const std::string& b, int fuzzPercent,
                     const std::string& diff, std::string* why);

#endif
