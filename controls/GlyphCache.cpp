#include "controls/GlyphCache.h"

#include "controls/GlyphList.h"

#include <algorithm>

namespace {
TGlyphCache* g_cache = nullptr;
}

TGlyphCache* TGlyphCache::instance()
{
    return g_cache;
}

TGlyphCache& TGlyphCache::acquire()
{
    if (!g_cache)
        g_cache = new TGlyphCache;
    return *g_cache;
}

void TGlyphCache::releaseIfEmpty()
{
    if (g_cache && g_cache->Empty()) {
        delete g_cache;
        g_cache = nullptr;
    }
}

TGlyphCache::~TGlyphCache() = default;

TGlyphList* TGlyphCache::GetList(int width, int height)
{
    for (auto it = m_lists.rbegin(); it != m_lists.rend(); ++it) {
        if ((*it)->Width() == width && (*it)->Height() == height)
            return it->get();
    }
    m_lists.push_back(std::make_unique<TGlyphList>(width, height));
    return m_lists.back().get();
}

void TGlyphCache::ReturnList(TGlyphList* list)
{
    if (!list || list->Count() != 0)
        return;
    const auto it = std::find_if(m_lists.begin(), m_lists.end(),
                                 [list](const auto& owned) { return owned.get() == list; });
    if (it != m_lists.end())
        m_lists.erase(it);
}
