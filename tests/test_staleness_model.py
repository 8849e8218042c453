"""Staleness of live references against a plain model of the change stamps:
a node per changed path (positions of a shift each stamped on their own),
nothing ever forgotten. The document keeps far fewer records than that; the
answers must be the same for every reference, including ones held a long
time and ones dropped along the way."""

import random

import pytest

from quillon import Document


class StampModel:
    def __init__(self):
        self.root = [0, {}]
        self.clock = 0

    def tick(self):
        self.clock += 1
        return self.clock

    def stamp(self, path, value):
        node = self.root
        for key in path:
            node = node[1].setdefault(key, [0, {}])
        node[0] = value
        node[1].clear()

    def valid(self, path, stamp):
        if stamp < self.root[0]:
            return False
        node = self.root
        for key in path:
            if key not in node[1]:
                return True
            node = node[1][key]
            if node[0] > stamp:
                return False
        return True


def is_stale(ref):
    try:
        ref.value
    except RuntimeError as e:
        assert "stale" in str(e)
        return True
    except (KeyError, IndexError):
        pass
    return False


@pytest.mark.parametrize("seed", range(6))
def test_staleness_matches_a_model_that_never_forgets(seed):
    rng = random.Random(seed)
    doc = Document({f"t{i}": {"x": 1} for i in range(4)} | {f"a{i}": list(range(6)) for i in range(4)})
    model = StampModel()
    refs = []  # [reference, path, stamp]

    def take(ref, path):
        refs.append([ref, path, model.clock])

    def record(path):
        model.stamp(path, model.tick())

    for step in range(3000):
        op = rng.randrange(10)
        tkey, akey = f"t{rng.randrange(4)}", f"a{rng.randrange(4)}"
        table, array = doc[tkey], doc[akey]
        take(table, [tkey])
        take(array, [akey])
        arr_ref = refs[-1]
        n = len(array)
        if op == 0:
            key = f"k{rng.randrange(400)}"
            existed = key in table
            table[key] = step
            if existed:
                record([tkey, key])
            take(table[key], [tkey, key])
        elif op == 1 and len(table) > 1:
            key = rng.choice([k for k in table.keys() if k != "x"] or ["x"])
            del table[key]
            record([tkey, key])
        elif op == 2 and n:
            i = rng.randrange(n)
            array[i] = step
            record([akey, i])
        elif op == 3 and n > 1:
            i = rng.randrange(n)
            del array[i]
            if i == n - 1:
                record([akey, i])
            else:
                value = model.tick()
                for j in range(i, n):
                    model.stamp([akey, j], value)
                arr_ref[2] = value
        elif op == 4:
            start = rng.randrange(n + 1)
            stop = rng.randrange(start, n + 1)
            added = [step] * rng.randrange(4)
            array[start:stop] = added
            if len(added) == stop - start:
                for j in range(start, stop):
                    record([akey, j])
            else:
                value = model.tick()
                for j in range(start, n):
                    model.stamp([akey, j], value)
                arr_ref[2] = value
        elif op == 5 and n:
            i = rng.randrange(n)
            take(array[i], [akey, i])
        elif op == 6 and rng.random() < 0.05:
            table.clear()
            table["x"] = 1
            value = model.tick()
            model.stamp([tkey], value)
            refs[-2][2] = value
        elif op == 7 and rng.random() < 0.02:
            key = rng.choice([f"t{i}" for i in range(4)] + [f"a{i}" for i in range(4)])
            doc[key] = {"x": 1} if key[0] == "t" else list(range(6))
            record([key])
        # Drop most references soon; keep a few for a long time.
        while len(refs) > 40:
            refs.pop(rng.randrange(len(refs) - 5) if rng.random() < 0.97 else 0)
        if step % 50 == 0 or step > 2900:
            for ref, path, stamp in refs:
                assert is_stale(ref) == (not model.valid(path, stamp)), (step, path)
