-- feature: window functions, frames, WITHIN GROUP, IGNORE NULLS and QUALIFY
-- default_db: APP
-- default_schema: PUBLIC

-- case: qualify row_number over the joined rows
-- join: INNER | app.public.users | app.public.sessions
select u.id, s.started_at
from users u
join sessions s on s.user_id = u.id
qualify row_number() over (partition by u.id order by s.started_at desc) = 1

-- case: window column of a CTE traced to its table
-- join: INNER | app.public.orders | app.public.customers
with ranked as (
  select o.customer_id, o.amount,
         rank() over (partition by o.customer_id order by o.amount desc) as rnk
  from orders o
)
select * from ranked r join customers c on c.id = r.customer_id and r.rnk = 1

-- case: frames, ignore nulls and within group
-- join: LEFT OUTER | app.public.readings | app.public.tags
select e.id,
  lag(e.value) ignore nulls over (partition by e.device_id order by e.ts rows between 10 preceding and current row) as prev_value,
  listagg(distinct t.tag, ',') within group (order by t.tag) over (partition by e.id) as tags
from readings e
left join tags t on t.reading_id = e.id

-- case: join inside a qualify subquery
-- join: INNER | app.public.payments | app.public.merchants
select *
from payments p
qualify p.amount > (select avg(p2.amount) from payments p2 join merchants m on m.id = p2.merchant_id where m.country = 'DE')

-- case: unbounded frame
-- join: LEFT OUTER | app.public.days | app.public.facts
select d.day, sum(f.revenue) over (order by d.day rows between unbounded preceding and unbounded following) as total
from days d left join facts f on f.day = d.day

-- case: aggregate FILTER
-- join: INNER | app.public.users | app.public.events
select u.id, count(*) filter (where e.kind = 'click') as clicks,
       sum(e.ms) filter (where e.kind = 'view') as view_ms
from users u join events e on e.user_id = u.id
group by u.id

-- case: NTH_VALUE from first ignore nulls
-- join: INNER | app.public.prices | app.public.skus
select p.sku,
       nth_value(p.price, 2) from first ignore nulls over (partition by p.sku order by p.ts) as second_price,
       nth_value(p.price, 1) from last over (partition by p.sku order by p.ts) as latest
from prices p join skus s on s.id = p.sku
