-- STAVELY lab database: the tables where the testers of a laboratory send their results and audit
-- events, in a schema of their own ("stavely") so that they never meet another application's tables.
-- Run once by the lab's administrator, as the owner of the database:
--     psql "postgresql://admin@labserver/results" -1 -f lab-database.sql     (or: stavely --db-init --db URI)
-- then give each tester a login in the role stavely_tester:
--     CREATE ROLE tester3 LOGIN PASSWORD '...' IN ROLE stavely_tester;   (or: stavely --db-register-tester tester3)
-- Testers read, and add rows only through stavely.add_entries, which takes rows of the login's own
-- instrument only (an instrument belongs to the login that sent its first entries, or to the one the
-- administrator registered for it), continues each trail without gaps or changes, and sets sent_by and
-- received_at itself. Nobody but the administrator changes or deletes a row.
-- Running this file again changes nothing; on a database with the tables of version 1 (in the schema
-- public) it moves them into the schema stavely and brings them up to version 2, keeping every row.

-- A table of the name in our places whose columns are not ours belongs to another application: stop
-- before anything is changed, and name it.
DO $$
DECLARE
    ours CONSTANT jsonb := '{
        "stavely_schema": ["version", "installed"],
        "results": ["uuid", "instrument", "content", "record", "data_file", "row_number", "line", "sample",
                    "operator", "tested_at", "nominal_rate", "stress_mpa", "sent_by", "received_at", "specimen"],
        "events": ["uuid", "instrument", "seq", "utc", "system_user_name", "operator", "kind", "data_file",
                   "row_number", "result_uuid", "before_value", "after_value", "hash", "sent_by", "received_at"],
        "instruments": ["instrument", "login", "registered_at"],
        "heads": ["instrument", "seq", "hash", "acknowledged_by", "acknowledged_at"]
    }';
    places text[] := ARRAY['stavely'];
    t record;
    strangers text;
BEGIN
    IF to_regclass('public.stavely_schema') IS NOT NULL THEN
        places := places || 'public'::text;
    END IF;
    FOR t IN
        SELECT c.table_schema, c.table_name, string_agg(c.column_name, ', ' ORDER BY c.ordinal_position) AS alien
        FROM information_schema.columns c
        WHERE c.table_schema = ANY (places)
          AND (c.table_schema = 'stavely' OR c.table_name IN ('stavely_schema', 'results', 'events'))
          AND (NOT ours ? c.table_name OR NOT (ours -> c.table_name) ? c.column_name)
        GROUP BY c.table_schema, c.table_name
    LOOP
        strangers := concat_ws('; ', strangers,
                               format('the table %s.%s has columns that are not STAVELY''s (%s)',
                                      t.table_schema, t.table_name, t.alien));
    END LOOP;
    FOR t IN
        SELECT n.nspname AS table_schema, k.relname AS table_name
        FROM pg_class k JOIN pg_namespace n ON n.oid = k.relnamespace
        WHERE n.nspname = 'stavely' AND k.relkind IN ('r', 'p', 'v', 'm', 'f')
          AND NOT ours ? k.relname
    LOOP
        strangers := concat_ws('; ', strangers, format('the schema stavely holds %s, which is not STAVELY''s',
                                                        t.table_name));
    END LOOP;
    IF strangers IS NOT NULL THEN
        RAISE EXCEPTION USING ERRCODE = 'SV010',
            MESSAGE = 'another application''s tables are in the way, nothing was changed: ' || strangers;
    END IF;
END
$$;

CREATE SCHEMA IF NOT EXISTS stavely;

-- Version 1 kept its tables in public: move them, with their rows and indexes.
DO $$
BEGIN
    IF to_regclass('public.stavely_schema') IS NOT NULL AND to_regclass('stavely.stavely_schema') IS NULL THEN
        ALTER TABLE public.stavely_schema SET SCHEMA stavely;
        IF to_regclass('public.results') IS NOT NULL THEN
            ALTER TABLE public.results SET SCHEMA stavely;
        END IF;
        IF to_regclass('public.events') IS NOT NULL THEN
            ALTER TABLE public.events SET SCHEMA stavely;
        END IF;
    END IF;
END
$$;

CREATE TABLE IF NOT EXISTS stavely.stavely_schema (
    version integer PRIMARY KEY,
    installed timestamptz NOT NULL DEFAULT now()
);

-- One row per result, as its tester's results store holds it; (instrument, uuid) is the result's own
-- identity, so a result sent twice is kept once.
CREATE TABLE IF NOT EXISTS stavely.results (
    uuid uuid NOT NULL,
    instrument text NOT NULL,       -- the sending store's identity: one audit trail each
    content text NOT NULL,          -- every stored value of the result, as its "added" entry covers it
    record bytea,                   -- the load/time record as the store keeps it (compressed); none: NULL
    -- Copies of some of the content's items, for searching; --audit-verify checks that they agree.
    data_file text NOT NULL,        -- path of the data file on the tester
    row_number integer NOT NULL,
    line text NOT NULL,             -- the row as written to the data file
    sample text NOT NULL DEFAULT '',
    operator text NOT NULL DEFAULT '',
    tested_at text NOT NULL DEFAULT '',  -- yyyy-mm-ddThh:mm:ss on the instrument's clock
    nominal_rate text NOT NULL DEFAULT '',
    stress_mpa double precision,
    sent_by text NOT NULL DEFAULT session_user,
    received_at timestamptz NOT NULL DEFAULT now(),
    -- The specimen's identity, from the row's fields but its comment: a result filed twice under two
    -- identities (a rebuilt store) is one specimen, and counted once.
    specimen uuid
);
ALTER TABLE stavely.results ADD COLUMN IF NOT EXISTS specimen uuid;
CREATE INDEX IF NOT EXISTS results_sample ON stavely.results (sample, tested_at);
CREATE INDEX IF NOT EXISTS results_instrument ON stavely.results (instrument);
CREATE INDEX IF NOT EXISTS results_tested_at ON stavely.results (tested_at);
CREATE INDEX IF NOT EXISTS results_specimen ON stavely.results (specimen);
-- Version 1 had the result's uuid alone as its key.
DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_constraint WHERE conname = 'results_identity'
                   AND conrelid = 'stavely.results'::regclass) THEN
        ALTER TABLE stavely.results DROP CONSTRAINT IF EXISTS results_pkey;
        ALTER TABLE stavely.results ADD CONSTRAINT results_identity PRIMARY KEY (instrument, uuid);
    END IF;
END
$$;

-- Each store's audit trail, a hash chain: hash = SHA-256(previous hash || the entry's canonical text).
CREATE TABLE IF NOT EXISTS stavely.events (
    uuid uuid PRIMARY KEY,
    instrument text NOT NULL,
    seq bigint NOT NULL,            -- the entry's place in its store's trail, from 1
    utc text NOT NULL,              -- ISO 8601 with milliseconds
    system_user_name text NOT NULL,
    operator text NOT NULL,
    kind text NOT NULL,
    data_file text NOT NULL,
    row_number integer NOT NULL,
    result_uuid text NOT NULL,
    before_value text NOT NULL,
    after_value text NOT NULL,
    hash text NOT NULL,
    sent_by text NOT NULL DEFAULT session_user,
    received_at timestamptz NOT NULL DEFAULT now(),
    UNIQUE (instrument, seq)
);
CREATE INDEX IF NOT EXISTS events_result ON stavely.events (result_uuid);

-- Which login sends each instrument's trail.
CREATE TABLE IF NOT EXISTS stavely.instruments (
    instrument text PRIMARY KEY,
    login name NOT NULL,
    registered_at timestamptz NOT NULL DEFAULT now()
);
-- Trails sent before logins were bound belong to the login that sent their first entry.
INSERT INTO stavely.instruments (instrument, login)
SELECT DISTINCT ON (instrument) instrument, sent_by FROM stavely.events ORDER BY instrument, seq
ON CONFLICT DO NOTHING;

-- The last entry of each trail the server has acknowledged to its sender, who keeps the same head in
-- its store: each side finds a cut of the other's tail.
CREATE TABLE IF NOT EXISTS stavely.heads (
    instrument text PRIMARY KEY,
    seq bigint NOT NULL,
    hash text NOT NULL,
    acknowledged_by name NOT NULL,
    acknowledged_at timestamptz NOT NULL DEFAULT now()
);
INSERT INTO stavely.heads (instrument, seq, hash, acknowledged_by)
SELECT DISTINCT ON (instrument) instrument, seq, hash, session_user FROM stavely.events
ORDER BY instrument, seq DESC
ON CONFLICT DO NOTHING;

-- The one way a tester adds rows. Results and entries come as JSON arrays of objects named as the
-- columns (a result's record base64-encoded). Entries the server holds must be the same entries;
-- new ones must go on from the trail's end without a gap; every result must come with the entry of
-- its instrument's trail that adds it. Returns the trail's last entry after the call.
CREATE OR REPLACE FUNCTION stavely.add_entries(p_instrument text, p_results jsonb, p_events jsonb)
RETURNS bigint
LANGUAGE plpgsql SECURITY DEFINER
SET search_path = stavely, pg_catalog, pg_temp
-- A batch's thousands of rows meet a trail whose statistics may be old: hash them, never loop.
SET enable_nestloop = off
AS $$
DECLARE
    owner name;
    last_seq bigint;
    new_last bigint;
    clash bigint;
    stray uuid;
BEGIN
    IF p_instrument IS NULL OR p_instrument = '' THEN
        RAISE EXCEPTION USING ERRCODE = 'SV001', MESSAGE = 'an instrument must be named';
    END IF;
    INSERT INTO instruments (instrument, login) VALUES (p_instrument, session_user) ON CONFLICT DO NOTHING;
    SELECT login INTO owner FROM instruments WHERE instrument = p_instrument FOR UPDATE;
    IF owner <> session_user THEN
        RAISE EXCEPTION USING ERRCODE = 'SV001',
            MESSAGE = format('the instrument %s sends as the login %s, not %s', p_instrument, owner, session_user);
    END IF;
    SELECT coalesce(max(seq), 0) INTO last_seq FROM events WHERE instrument = p_instrument;

    SELECT x.seq INTO clash
    FROM jsonb_to_recordset(coalesce(p_events, '[]')) AS x(seq bigint, hash text)
    JOIN events e ON e.instrument = p_instrument AND e.seq = x.seq
    WHERE e.hash IS DISTINCT FROM x.hash
    ORDER BY x.seq LIMIT 1;
    IF FOUND THEN
        RAISE EXCEPTION USING ERRCODE = 'SV002',
            MESSAGE = format('entry %s of %s differs from the entry the lab database holds', clash, p_instrument);
    END IF;
    SELECT x.seq INTO clash
    FROM (SELECT seq, row_number() OVER (ORDER BY seq) AS n
          FROM jsonb_to_recordset(coalesce(p_events, '[]')) AS y(seq bigint)
          WHERE seq > last_seq OR seq IS NULL) x
    WHERE x.seq IS DISTINCT FROM last_seq + x.n
    ORDER BY x.n LIMIT 1;
    IF FOUND THEN
        RAISE EXCEPTION USING ERRCODE = 'SV003',
            MESSAGE = format('entry %s of %s does not follow the trail''s last entry %s',
                             coalesce(clash::text, 'without a place'), p_instrument, last_seq);
    END IF;

    INSERT INTO events (uuid, instrument, seq, utc, system_user_name, operator, kind, data_file, row_number,
                        result_uuid, before_value, after_value, hash, sent_by, received_at)
    SELECT x.uuid, p_instrument, x.seq, x.utc, x.system_user_name, x.operator, x.kind, x.data_file,
           x.row_number, x.result_uuid, x.before_value, x.after_value, x.hash, session_user, now()
    FROM jsonb_to_recordset(coalesce(p_events, '[]')) AS x(uuid uuid, seq bigint, utc text,
        system_user_name text, operator text, kind text, data_file text, row_number integer,
        result_uuid text, before_value text, after_value text, hash text)
    WHERE x.seq > last_seq
    ORDER BY x.seq;

    -- A result travels with the entry that adds it (an entry the server may hold already: then it was
    -- found the same above).
    SELECT x.uuid INTO stray
    FROM jsonb_to_recordset(coalesce(p_results, '[]')) AS x(uuid uuid)
    WHERE NOT EXISTS (SELECT FROM jsonb_to_recordset(coalesce(p_events, '[]')) AS y(kind text, result_uuid text)
                      WHERE y.kind = 'result added' AND y.result_uuid = x.uuid::text)
    LIMIT 1;
    IF FOUND THEN
        RAISE EXCEPTION USING ERRCODE = 'SV004',
            MESSAGE = format('the result %s of %s is added by no entry of its trail', stray, p_instrument);
    END IF;
    INSERT INTO results (uuid, instrument, content, record, data_file, row_number, line, sample, operator,
                         tested_at, nominal_rate, stress_mpa, specimen, sent_by, received_at)
    SELECT x.uuid, p_instrument, x.content, decode(x.record, 'base64'), x.data_file, x.row_number, x.line,
           coalesce(x.sample, ''), coalesce(x.operator, ''), coalesce(x.tested_at, ''),
           coalesce(x.nominal_rate, ''), x.stress_mpa, x.specimen, session_user, now()
    FROM jsonb_to_recordset(coalesce(p_results, '[]')) AS x(uuid uuid, content text, record text,
        data_file text, row_number integer, line text, sample text, operator text, tested_at text,
        nominal_rate text, stress_mpa double precision, specimen uuid)
    ON CONFLICT (instrument, uuid) DO NOTHING;

    SELECT coalesce(max(seq), 0) INTO new_last FROM events WHERE instrument = p_instrument;
    IF new_last > 0 THEN
        INSERT INTO heads (instrument, seq, hash, acknowledged_by, acknowledged_at)
        SELECT p_instrument, seq, hash, session_user, now() FROM events
        WHERE instrument = p_instrument AND seq = new_last
        ON CONFLICT (instrument) DO UPDATE
            SET seq = excluded.seq, hash = excluded.hash, acknowledged_by = excluded.acknowledged_by,
                acknowledged_at = excluded.acknowledged_at;
    END IF;
    RETURN new_last;
END
$$;

-- Testers: read, and add through the function; no temporary tables, no other way in. (TEMP is taken
-- from PUBLIC on this database: grant it back by name to another application's role that needs it.)
DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'stavely_tester') THEN
        CREATE ROLE stavely_tester NOLOGIN;
    END IF;
    EXECUTE format('REVOKE TEMPORARY ON DATABASE %I FROM PUBLIC, stavely_tester', current_database());
END
$$;
REVOKE ALL ON ALL TABLES IN SCHEMA stavely FROM PUBLIC, stavely_tester;
REVOKE ALL ON SCHEMA stavely FROM PUBLIC;
REVOKE ALL ON FUNCTION stavely.add_entries(text, jsonb, jsonb) FROM PUBLIC;
GRANT USAGE ON SCHEMA stavely TO stavely_tester;
GRANT SELECT ON ALL TABLES IN SCHEMA stavely TO stavely_tester;
GRANT EXECUTE ON FUNCTION stavely.add_entries(text, jsonb, jsonb) TO stavely_tester;

INSERT INTO stavely.stavely_schema (version) VALUES (1), (2) ON CONFLICT DO NOTHING;
