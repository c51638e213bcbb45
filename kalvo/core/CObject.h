#pragma once
// Root of the annotation object family: objects that store and load
// themselves through an archive.

namespace kalvo {

class CArchive;

class CObject {
public:
    // Version number of the stored forms of every class in the family.
    static constexpr int kSchema = 1;

    virtual ~CObject() = default;
    virtual void Serialize(CArchive& ar);

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

}  // namespace kalvo
