#pragma once

#include <memory>
#include <vector>

class TGlyphList;

// The process-wide collection of image lists, one per glyph size, shared by
// all button glyphs. It is created with the first button glyph and freed when
// a button glyph goes away while it holds no lists. User-interface thread only.
class TGlyphCache {
public:
    // The cache, or null while none exists.
    static TGlyphCache* instance();
    // The cache, created if none exists.
    static TGlyphCache& acquire();
    // Frees the cache if it holds no lists.
    static void releaseIfEmpty();

    TGlyphCache(const TGlyphCache&) = delete;
    TGlyphCache& operator=(const TGlyphCache&) = delete;
    ~TGlyphCache();

    // The list for images of width x height, searched from the newest list
    // back to the oldest; a new list is appended if none has that size.
    TGlyphList* GetList(int width, int height);
    // Gives a list back; a list with no used slots is removed and freed.
    void ReturnList(TGlyphList* list);
    bool Empty() const { return m_lists.empty(); }
    int listCount() const { return static_cast<int>(m_lists.size()); }

private:
    TGlyphCache() = default;
    std::vector<std::unique_ptr<TGlyphList>> m_lists;
};
