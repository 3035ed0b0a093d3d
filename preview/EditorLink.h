#pragma once

namespace velmora {

// How the preview asks for the editor window again ("< Back").
class EditorLink {
public:
    virtual ~EditorLink() = default;
    virtual void showEditor() = 0;
};

}  // namespace velmora
