// The tip store: the queues of tips waiting to be shown or waiting for their
// picture, the index of known tips and the display history. One lock guards
// everything and is held for the whole of each operation, never twice.
//
// Ownership: a record handed to an adding operation belongs to the store
// whatever the result (a record it does not keep is deleted at once); a
// record handed out belongs to the caller.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "protocol/tip_record.h"
#include "store/display_record.h"

class CShowDataList {
public:
    CShowDataList();
    virtual ~CShowDataList();
    CShowDataList(const CShowDataList&) = delete;
    CShowDataList& operator=(const CShowDataList&) = delete;

    // The process-wide store, made by the first call.
    static CShowDataList* GetInstance();
    // The same, shared with the caller: a worker holds its store this way.
    static std::shared_ptr<CShowDataList> SharedInstance();
    // Lets go of the process-wide store: a later GetInstance makes a new one,
    // and the store with all it holds is freed once no other owner holds it.
    // Returns 1.
    static int DestroyInstance();

    // The folder picture files live in. The store deletes a picture only
    // when its path lies directly inside this folder; with none set it
    // deletes nothing.
    void SetPictureFolder(const char* tipsFolder);
    // True when path names a picture directly inside that folder.
    bool IsOwnPicture(const std::string& path);

    // 1 when the tip was queued for the sliding panel, else 0.
    int AddOneShowData(TipRecord* tip);
    // Queues a tip whose picture is still to be fetched. Always 1.
    int AddWaitPicData(TipRecord* tip);
    TipRecord* GetWaitPicData();
    // Non-zero flag: the sliding panel's queue; zero: the static queue.
    TipRecord* GetOneShowData(int32_t flag);
    // 1 if the entry was taken into the history, 0 if dropped.
    int AddDisplayData(DisplayRecord* record);

    // Entries of the known-tip index, including tips already handed out.
    int32_t GetShowDataCount();
    // Copies the tips still held, ascending by id, at most count of them;
    // count then holds the number copied. Returns 1.
    int GetAllShowData(TipRecord* array, int32_t& count);
    // Copies the held tips that can still be shown (end time ahead and not
    // before the begin time, id not in the history) in the order the sliding
    // panel would get them, at most count; count then holds the number
    // copied. Returns 1.
    int GetShowableData(TipRecord* array, int32_t& count);
    // True while the store knows a tip of this id, held or handed out.
    bool KnowsTip(uint32_t id);
    int32_t GetDisplayDataCount();
    int GetAllDisplayData(DisplayRecord* array, int32_t& count);

    void SetReady() { m_nReady.store(1); }
    int32_t IsReady() const { return m_nReady.load(); }

private:
    using TipQueue = std::list<TipRecord*>;

    int AddDisplayDataLocked(std::unique_ptr<DisplayRecord> record, int32_t now);
    void DeletePicture(const char (&path)[1024]) const;
    void FreeAll();

    TipQueue m_slideQueue;
    TipQueue m_staticQueue;  // nothing fills it yet: the static panel polls it empty
    TipQueue m_pictureQueue;
    // A null value: the tip with this id has left the slide queue.
    std::map<uint32_t, TipRecord*> m_knownTips;
    std::map<uint32_t, std::unique_ptr<DisplayRecord>> m_history;
    std::string m_pictureFolder;
    platform::Lock m_lock;
    std::atomic<int32_t> m_nReady{0};
};
