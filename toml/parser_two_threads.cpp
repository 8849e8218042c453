#include "parser_two_threads.hpp"

#include <array>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "decoder.hpp"
#include "parser_assembly.hpp"
#include "parser_event_memory.hpp"
#include "parser_events.hpp"
#include "parser_grammar.hpp"

namespace toml::detail {
namespace {

// Below this a second thread costs about what it saves.
constexpr size_t kTwoThreadsFrom = size_t{256} << 10;
// Event lists in flight: the grammar stage runs at most this far ahead, which
// bounds the memory the lists take.
constexpr size_t kLists = 3;
// Room reserved in each batch, on the calling thread: enough for most runs
// of statements, which the grammar stage hands over from a few thousand
// events on. The lists are large enough to be mapped on their own (see
// EventAllocator), so that the grammar thread's memory goes back to the
// system after the parse rather than stay in its heap.
constexpr size_t kListRoom = size_t{1} << 14;
constexpr size_t kScalarRoom = size_t{1} << 11;
constexpr size_t kTextRoom = size_t{64} << 10;
constexpr size_t kScratchRoom = size_t{4} << 10;

struct Batch {
    EventList events;
    // Scalars among the events decoded on the grammar thread (that stage has
    // less to do); the assembly then only stores them.
    std::vector<ScalarAhead, EventAllocator<ScalarAhead>> scalars;
    std::vector<char, EventAllocator<char>> texts;  // decoded texts of those strings
    uint32_t root_lines = 0;
    bool last = false;  // ends with End

    ScalarsAhead ahead() const { return ScalarsAhead{scalars.data(), texts.data()}; }
};

// Every scalar but a single-line string without escapes, which costs the
// assembly next to nothing already.
bool worth_decoding_ahead(const Event& e) { return e.quoting == Quoting::Unquoted || !e.plain; }

// `scratch`: room for decoding strings. With `ahead` off the batch goes as
// it is, and the assembly decodes every scalar itself.
void decode_ahead(std::string_view text, Batch& batch, std::string& scratch, bool ahead) {
    batch.scalars.clear();
    batch.texts.clear();
    if (!ahead) return;
    for (Event& e : batch.events) {
        if (e.kind != EventKind::Scalar || !worth_decoding_ahead(e)) continue;
        ScalarAhead& scalar = batch.scalars.emplace_back();
        // One with an error is left to the assembly, which reports it in turn.
        if (!decode_scalar_ahead(text, e.span(), e.quoting, e.plain, scratch, scalar)) {
            batch.scalars.pop_back();
            continue;
        }
        if (scalar.kind == ValueKind::String && !scalar.in_source) {
            scalar.at = static_cast<uint32_t>(batch.texts.size());
            batch.texts.insert(batch.texts.end(), scratch.begin(), scratch.end());
        }
        e.count = static_cast<uint32_t>(batch.scalars.size());
    }
}

// First in, first out, without allocating: every batch comes from the pool.
class BatchQueue {
public:
    bool empty() const { return count_ == 0; }
    void push(Batch&& b) noexcept {
        slots_[(head_ + count_) % slots_.size()] = std::move(b);
        ++count_;
    }
    Batch pop() noexcept {
        Batch b = std::move(slots_[head_]);
        head_ = (head_ + 1) % slots_.size();
        --count_;
        return b;
    }

private:
    std::array<Batch, kLists> slots_;
    size_t head_ = 0;
    size_t count_ = 0;
};

// Carries runs of statements from the grammar thread to the assembling one,
// and their batches back to be filled again.
class Handoff final : public StatementSink {
public:
    Handoff(std::string_view text, size_t hand_over_from) : StatementSink(hand_over_from), text_(text) {
        first_.reserve(kListRoom);
        scratch_.reserve(kScratchRoom);
        spare_.resize(kLists);
        for (Batch& b : spare_) {
            b.events.reserve(kListRoom);
            b.scalars.reserve(kScalarRoom);
            b.texts.reserve(kTextRoom);
        }
    }

    // Grammar thread.
    EventList first_list() { return std::move(first_); }

    void statements(EventList& events, size_t end, uint32_t root_lines) override {
        hand_over(events, end, root_lines, false);
    }

    // The grammar stage took the whole text: `events` are the last
    // statements, ending with End.
    void last_statements(EventList& events) { hand_over(events, events.size(), events.back().count, true); }

    // The grammar stage is done, with `failure` if it threw.
    void close(std::exception_ptr failure) {
        {
            std::lock_guard lock(m_);
            failure_ = std::move(failure);
            closed_ = true;
        }
        full_ready_.notify_one();
    }

    // Assembling thread. The next batch, or false once every batch was taken
    // and the grammar stage is done.
    bool next(Batch& out) {
        std::unique_lock lock(m_);
        full_ready_.wait(lock, [&] { return !full_.empty() || closed_; });
        if (full_.empty()) return false;
        out = full_.pop();
        return true;
    }

    void give_back(Batch&& batch) {
        batch.events.clear();
        {
            std::lock_guard lock(m_);
            spare_.push_back(std::move(batch));
        }
        spare_ready_.notify_one();
    }

    // The assembling thread gives up: the grammar stage drops what it would
    // hand over, and so finishes without waiting.
    void cancel() {
        {
            std::lock_guard lock(m_);
            cancelled_ = true;
        }
        spare_ready_.notify_one();
    }

    std::exception_ptr failure() {
        std::lock_guard lock(m_);
        return failure_;
    }

private:
    // Sends events [0, end) in a batch from the pool and keeps the rest.
    void hand_over(EventList& events, size_t end, uint32_t root_lines, bool last) {
        Batch batch;
        bool ahead = false;
        {
            std::unique_lock lock(m_);
            spare_ready_.wait(lock, [&] { return !spare_.empty() || cancelled_; });
            if (cancelled_) {
                lock.unlock();
                events.erase(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(end));
                return;
            }
            batch = std::move(spare_.back());
            spare_.pop_back();
            // Decoding scalars ahead pays while the assembly has batches to
            // get on with; once it waits for this one, it gets it at once
            // and decodes them itself. The work goes to whichever stage has
            // room for it, as the other one speeds up or slows down.
            ahead = !full_.empty();
        }
        // The events after `end` (the header being read) go on in the list
        // the batch brought.
        batch.events.assign(events.begin() + static_cast<std::ptrdiff_t>(end), events.end());
        events.resize(end);
        std::swap(events, batch.events);
        batch.root_lines = root_lines;
        batch.last = last;
        decode_ahead(text_, batch, scratch_, ahead);
        push(std::move(batch));
    }

    void push(Batch&& b) {
        {
            std::lock_guard lock(m_);
            full_.push(std::move(b));
        }
        full_ready_.notify_one();
    }

    std::string_view text_;
    EventList first_;
    std::string scratch_;
    std::mutex m_;
    std::condition_variable full_ready_;
    std::condition_variable spare_ready_;
    BatchQueue full_;
    std::vector<Batch> spare_;
    bool closed_ = false;
    bool cancelled_ = false;
    std::exception_ptr failure_;
};

// Joins the grammar thread on every way out of the assembling loop.
class Joiner {
public:
    Joiner(Handoff& handoff, std::thread& thread) : handoff_(handoff), thread_(thread) {}
    ~Joiner() {
        handoff_.cancel();
        thread_.join();
    }
    Joiner(const Joiner&) = delete;
    Joiner& operator=(const Joiner&) = delete;

private:
    Handoff& handoff_;
    std::thread& thread_;
};

}  // namespace

bool worth_two_threads(size_t text_size) { return text_size >= kTwoThreadsFrom; }

bool parse_on_two_threads(std::string_view text, size_t start, bool bom, ErrorSink& grammar_errors,
                          ErrorSink& assembly_errors, DocumentMut& doc, bool& carriage_returns,
                          size_t hand_over_from) {
    Handoff handoff(text, hand_over_from);
    std::thread grammar;
    try {
        grammar = std::thread([&] {
            std::exception_ptr failure;
            try {
                EventList events = handoff.first_list();
                if (grammar_document(text, start, events, grammar_errors, carriage_returns, &handoff)) {
                    handoff.last_statements(events);
                }
            } catch (...) {
                failure = std::current_exception();
            }
            handoff.close(std::move(failure));
        });
    } catch (const std::system_error&) {
        return false;
    }
    {
        Joiner joiner(handoff, grammar);
        DocumentAssembly assembly(text, bom, assembly_errors, doc, hand_over_from);
        Batch batch;
        while (handoff.next(batch)) {
            if (batch.last) {
                assembly.finish(batch.events, batch.ahead());
            } else {
                assembly.take(batch.events, batch.events.size(), batch.root_lines, batch.ahead());
            }
            handoff.give_back(std::move(batch));
        }
    }
    if (std::exception_ptr failure = handoff.failure()) std::rethrow_exception(failure);
    return true;
}

}  // namespace toml::detail
