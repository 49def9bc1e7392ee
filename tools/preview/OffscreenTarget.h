#pragma once

#include <GL/glew.h>

#include <string>
#include <vector>

// A multisampled colour and depth framebuffer of the picture's size, independent of the window
// (which stays hidden and may be any size), with a single-sampled copy to read the picture from.
class OffscreenTarget {
public:
    // Needs a current context. Returns false with a reason when the driver refuses the size.
    bool create(int width, int height, std::string& error);
    // Makes the target the draw framebuffer and the viewport its full size.
    void bind() const;
    // Resolves the samples and returns the picture as RGB rows, bottom row first.
    std::vector<unsigned char> readPixels() const;

    int width = 0;
    int height = 0;

private:
    GLuint drawFramebuffer = 0;
    GLuint resolveFramebuffer = 0;
};
