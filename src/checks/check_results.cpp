#include "checks/check_results.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>
#include <thread>

#include "checks/check_query.h"
#include "checks/shared_walk.h"
#include "core/errors.h"
#include "workdb/halved_scan.h"
#include "workdb/jet_sql.h"

namespace sorvane {
namespace {

// Long enough for a window's run and its export, short enough that a check
// comparing dates with the present moment is never judged on a stale clock.
constexpr auto kMaxAge = std::chrono::minutes(5);

}  // namespace

void CheckResults::Validate() {
  const auto now = std::chrono::steady_clock::now();
  std::string stamp = conn_.DataStamp();
  if (stamp != stamp_ || now - since_ > kMaxAge) {
    rows_.clear();
    stamp_ = std::move(stamp);
    since_ = now;
  }
}

RecordSet CheckResults::Run(Connection& conn, const std::string& jet_sql,
                            std::shared_ptr<RecordSet>* carried) const {
  if (auto it = carriers_.find(jet_sql); it != carriers_.end() && it->second) {
    try {
      auto rows = std::make_shared<RecordSet>(conn.Query(*it->second));
      RecordSet own = rows->WithoutLastField();
      *carried = std::move(rows);
      return own;
    } catch (const std::exception&) {
      // The query's own run below says what is wrong.
    }
  }
  return QueryCheckRows(conn, jet_sql);
}

std::shared_ptr<RecordSet> CheckResults::Get(const std::string& jet_sql) {
  try {
    Validate();
    if (auto it = rows_.find(jet_sql); it != rows_.end()) {
      it->second->MoveFirst();
      return it->second;
    }
    std::shared_ptr<RecordSet> carried;
    auto rows = std::make_shared<RecordSet>(Run(conn_, jet_sql, &carried));
    rows_[jet_sql] = rows;
    if (carried) rows_[*carriers_.at(jet_sql)] = std::move(carried);
    return rows;
  } catch (const std::bad_alloc&) {
    // Said as the engine's own failures are, where the check's result is shown.
    throw OutOfMemoryError();
  }
}

void CheckResults::Prefetch(const std::vector<std::string>& queries, const FollowUp& then,
                            const std::function<bool()>& stop) {
  Validate();
  std::vector<std::string> wanted;
  std::vector<size_t> origin;  // the index in `queries` of each wanted one
  for (size_t i = 0; i < queries.size(); ++i) {
    const std::string& q = queries[i];
    if (!rows_.count(q) && std::find(wanted.begin(), wanted.end(), q) == wanted.end()) {
      wanted.push_back(q);
      origin.push_back(i);
    }
  }
  // Other connections see only committed rows, and only of a file.
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const unsigned helpers = conn_.IsFile() && !conn_.InTransaction() ? std::min(cores, 4u) - 1 : 0;
  if (wanted.size() < 2 || helpers == 0) return;  // Get runs them one by one

  // What each query runs as (its carrier, if it has one), and the reads of
  // one table those can share; each shared read is one piece of work, the
  // first ones handed out as they take longest.
  std::vector<std::string> runs(wanted.size());
  std::vector<bool> carried_by(wanted.size(), false);
  for (size_t i = 0; i < wanted.size(); ++i) {
    const auto carrier = carriers_.find(wanted[i]);
    carried_by[i] = carrier != carriers_.end() && carrier->second.has_value();
    try {
      runs[i] = TranslateJet(carried_by[i] ? *carrier->second : wanted[i]);
    } catch (const std::exception&) {
      // Not shared: it runs on its own and says what is wrong.
    }
  }
  const std::vector<SharedWalk> walks = FindSharedWalks(conn_, runs);
  std::vector<bool> walked(wanted.size(), false);
  for (const SharedWalk& walk : walks) {
    for (size_t m : walk.members) walked[m] = true;
  }
  std::vector<size_t> alone;
  for (size_t i = 0; i < wanted.size(); ++i) {
    if (!walked[i]) alone.push_back(i);
  }

  std::vector<std::shared_ptr<RecordSet>> found(wanted.size());
  std::vector<std::pair<std::string, std::shared_ptr<RecordSet>>> further(wanted.size());
  // Query i's rows, given those of what it runs as (`carried` when that is
  // its carrier), and the rows of its follow-up.
  auto keep = [&](size_t i, RecordSet own, std::shared_ptr<RecordSet> carried, Connection& conn) {
    found[i] = std::make_shared<RecordSet>(std::move(own));
    if (carried) {
      further[i] = {*carriers_.at(wanted[i]), std::move(carried)};
    } else if (then) {
      if (std::optional<std::string> q = then(origin[i], *found[i], conn)) {
        further[i] = {*q, std::make_shared<RecordSet>(QueryCheckRows(conn, *q))};
      }
    }
  };
  auto one = [&](size_t i, Connection& conn) {
    try {
      std::shared_ptr<RecordSet> carried;
      RecordSet own = Run(conn, wanted[i], &carried);
      keep(i, std::move(own), std::move(carried), conn);
    } catch (const std::exception&) {
      // Get runs what is missing again and reports it.
    }
  };
  auto shared = [&](const SharedWalk& walk, Connection& conn) {
    std::vector<RecordSet> rows;
    try {
      rows = RunSharedWalk(conn, walk);
    } catch (const std::exception&) {
      for (size_t m : walk.members) one(m, conn);  // each says for itself what is wrong
      return;
    }
    for (size_t k = 0; k < walk.members.size(); ++k) {
      const size_t i = walk.members[k];
      try {
        if (carried_by[i]) {
          auto carried = std::make_shared<RecordSet>(std::move(rows[k]));
          keep(i, carried->WithoutLastField(), carried, conn);
        } else {
          keep(i, std::move(rows[k]), nullptr, conn);
        }
      } catch (const std::exception&) {
        // As above.
      }
    }
  };
  std::atomic<size_t> next{0};
  auto work = [&](Connection& conn) {
    for (size_t p = next++; p < walks.size() + alone.size(); p = next++) {
      if (stop && stop()) return;
      if (p < walks.size())
        shared(walks[p], conn);
      else
        one(alone[p - walks.size()], conn);
    }
  };
  std::vector<std::thread> threads;
  threads.reserve(helpers);  // a place for each before any runs
  for (unsigned t = 0; t < helpers; ++t) {
    // A thread that cannot be had leaves its share to the others.
    try {
      // Counted from here as at work, so that no read halves meanwhile: it
      // would only take turns with this one (halved_scan.h).
      threads.emplace_back([&, busy = std::make_unique<QueryWorker>()] {
        Connection reader;
        try {
          reader.OpenReaderOf(conn_);
          reader.SetStopCheck(stop);
        } catch (const std::exception&) {
          return;  // the others do its share
        }
        work(reader);
      });
    } catch (const std::system_error&) {
      break;
    }
  }
  {
    const QueryWorker busy;
    work(conn_);
  }
  for (std::thread& t : threads) t.join();
#ifdef __GLIBC__
  // The shared reads' flags and the engine's sorts were let go on both
  // threads' heaps; the allocator keeps such memory for itself unless asked
  // to hand it back, and the places and outputs that follow cannot reuse it.
  malloc_trim(0);
#endif
  for (size_t i = 0; i < wanted.size(); ++i) {
    if (found[i]) rows_[wanted[i]] = std::move(found[i]);
    if (further[i].second) rows_[further[i].first] = std::move(further[i].second);
  }
}

}  // namespace sorvane
