// The one-call morph of the public header.
#include "kestrane/kestrane.h"

#include <utility>

namespace kestrane {

MorphError::MorphError(Result result) : std::runtime_error(result.reason), result_(std::move(result)) {}

std::vector<Mesh> morph(const Surface& source, const Surface& target, const MorphOptions& options)
{
    Morpher morpher(options.parameters);
    morpher.set_observer(options.observer);
    morpher.set_cancel(options.cancel);
    Result r = morpher.load(source, target);
    if (!r) throw MorphError(r);
    for (const Correspondence& v : options.vectors) morpher.add_vector(v);
    const int count = morpher.parameters().frame_count;
    if (count < 2)
        throw MorphError(Result::failure(Problem::BadParameter, Stage::Frame, -1, std::string(),
                                         "frames must be 2 to 65535"));
    FrameOptions frame_options;
    frame_options.cancel = options.cancel;
    std::vector<Mesh> frames(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        r = morpher.frame(i, count, &frames[static_cast<size_t>(i)], frame_options);
        if (!r) throw MorphError(r);
    }
    return frames;
}

}  // namespace kestrane
